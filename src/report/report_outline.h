// What the classic and the modern report share around their tables: the
// sections in the order both write them, with their anchors, navigation
// labels, back-links and switches, the days the summary names and the
// capacity note.
#ifndef LOGVANE_REPORT_REPORT_OUTLINE_H_
#define LOGVANE_REPORT_REPORT_OUTLINE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "common/ascii_text.h"
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

// Top Pages, Top Directories and the Extra sections: their labels, and
// whether a key is written as a link (always, never, or when it is a URL).
enum class KeyCell { kLink, kPlain, kLinkWhenHttp };
struct RankedSection {
  int heading;
  int keyColumn;
  int countColumn;
  int totalLabel;
  KeyCell keyCell;
};
inline constexpr RankedSection kTopPagesSection{kTopPages, kPage, kHits, kTotalUniquePages,
                                                KeyCell::kLink};
inline constexpr RankedSection kTopDirectoriesSection{kTopDirectories, kDirectory, kHits,
                                                      kTotalUniqueDirectories, KeyCell::kPlain};
inline constexpr RankedSection kExtra1Section{kExtra1, kExtra1, kOccurrence, kTotalExtra1,
                                              KeyCell::kPlain};
inline constexpr RankedSection kExtra2Section{kExtra2, kExtra2, kOccurrence, kTotalExtra2,
                                              KeyCell::kLinkWhenHttp};

inline bool KeyIsLink(const RankedSection& section, std::string_view key) {
  return section.keyCell == KeyCell::kLink ||
         (section.keyCell == KeyCell::kLinkWhenHttp && StartsWithFolded(key, "http://"));
}

}  // namespace logvane

#endif  // LOGVANE_REPORT_REPORT_OUTLINE_H_
