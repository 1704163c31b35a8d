// The report document in outline, shared by both styles: the sections in
// the order both write them, with their anchors, navigation labels,
// back-links, switches and rows, the days the summary names, the lines of
// the parameters block and the capacity note; and the document itself,
// written in either style's layout.
#ifndef LOGVANE_REPORT_REPORT_OUTLINE_H_
#define LOGVANE_REPORT_REPORT_OUTLINE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "report/report_input.h"
#include "report/report_writer.h"
#include "report/section_rows.h"

namespace logvane {

struct ReportSection {
  std::string_view anchor;  // the name of the anchor and of the link to it
  int navigationLabel;
  bool backLink;
  bool (*on)(const ReportInput&);  // whether this run writes the section
  SectionRows (*rows)(const ReportInput&);
  // What the modern style draws above the section's tables, or nothing.
  void (*modernChart)(const ReportInput&, const SectionRows&, ReportWriter&);
};

inline constexpr size_t kReportSectionCount = 14;
extern const ReportSection kReportSections[kReportSectionCount];

// The keys of the first and the last date with hits in table order (the
// earliest and latest once the dates are sorted); empty when none has hits.
struct LogDays {
  std::string_view first;
  std::string_view last;
};
LogDays FirstAndLastDay(const DateTable& dates);

// One line of the parameters block: caption + value + tail, the caption
// and tail fixed texts.
struct ParameterLine {
  std::string_view caption;
  std::string value;
  std::string_view tail;
  bool fromParameterFile;  // the operator's text
  bool lineEnd;            // the classic block ends this line
};
std::vector<ParameterLine> ParameterLines(const ReportInput& state);

// The note written when the user table ran full.
std::string CapacityNote();

// The whole document in the style's layout (report_outline.cpp has both
// side by side): the head and summary, the navigation, every section that
// is on, the parameters block unless NOSHOW, the capacity note when the user
// table ran full, the footer.
void WriteDocument(const ReportInput& state, ReportWriter& out, Env& env, ReportStyle style);

}  // namespace logvane

#endif  // LOGVANE_REPORT_REPORT_OUTLINE_H_
