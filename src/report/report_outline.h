// What the classic and the modern report share around their tables: the
// sections in the order both write them, with their anchors, navigation
// labels, back-links and switches, the days the summary names and the
// capacity note.
#ifndef LOGVANE_REPORT_REPORT_OUTLINE_H_
#define LOGVANE_REPORT_REPORT_OUTLINE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "report/report_input.h"
#include "report/report_writer.h"

namespace logvane {

using SectionWriter = void (*)(const ReportInput&, ReportWriter&);

struct ReportSection {
  std::string_view anchor;  // the name of the anchor and of the link to it
  int navigationLabel;
  bool backLink;
  bool (*on)(const ReportInput&);  // whether this run writes the section
  SectionWriter classic;
  SectionWriter modern;
};

inline constexpr size_t kReportSectionCount = 10;
extern const ReportSection kReportSections[kReportSectionCount];

// The keys of the first and the last date with hits in table order (the
// earliest and latest once the dates are sorted); empty when none has hits.
struct LogDays {
  std::string_view first;
  std::string_view last;
};
LogDays FirstAndLastDay(const DateTable& dates);

// The note written when the user table ran full.
std::string CapacityNote();

}  // namespace logvane

#endif  // LOGVANE_REPORT_REPORT_OUTLINE_H_
