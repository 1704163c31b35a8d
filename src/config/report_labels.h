// The replaceable texts of the report: captions, column headings, weekday
// names, status descriptions and the notes of summary tables.
#ifndef LOGVANE_CONFIG_REPORT_LABELS_H_
#define LOGVANE_CONFIG_REPORT_LABELS_H_

#include <array>
#include <string>
#include <string_view>

namespace logvane {

inline constexpr int kLabelCount = 69;
inline constexpr size_t kLabelWidth = 49;

struct ReportLabels {
  std::array<std::string, kLabelCount + 1> text;  // index 1 to kLabelCount; 0 unused

  ReportLabels();  // the defaults
  const std::string& operator[](int key) const { return text[key]; }
};

// The default text of label `key` (1 to kLabelCount).
std::string_view DefaultLabel(int key);

// Replaces label `key` whole with `value` cut to kLabelWidth.
void SetLabel(ReportLabels& labels, int key, std::string_view value);

// Acts on a parameter-file line that begins with a label key; false when
// the line is no label line. Prints nothing.
bool ApplyLabelLine(ReportLabels& labels, std::string_view line);

// Named keys for the labels the report prints.
enum Label : int {
  kReportProduced = 1,
  kLogFrom,
  kThru,
  kTotalRecords,
  kTopUsers,
  kUniqueUsers,
  kTotalPagesRequested,
  kActivityByDate,
  kRank,
  kUser,
  kHits,
  kGraph,
  kTopOfReport,
  kDate,
  kTotalDays,
  kDayOfWeekTitle,
  kDayOfWeek,
  kAverageHits,
  kPercent,
  kSunday,
  kMonday,
  kTuesday,
  kWednesday,
  kThursday,
  kFriday,
  kSaturday,
  kHourlyLoad,
  kHour,
  kParameters,
  kTopPages,
  kPage,
  kTotalUniquePages,
  kTopDirectories,
  kDirectory,
  kTotalUniqueDirectories,
  kTopNations,
  kNation,
  kTotalUniqueNations,
  kResponseCodeTitle,
  kTopNotFound,
  kCode,
  kDescription,
  kKBytes,
  kExtra1,
  kOccurrence,
  kTotalExtra1,
  kExtra2,
  kTotalExtra2,
  kUnknownCode,
  kStatus200,
  kStatus201,
  kStatus202,
  kStatus301,
  kStatus302,
  kStatus304,
  kStatus400,
  kStatus401,
  kStatus403,
  kStatus404,
  kStatus500,
  kStatus501,
  kStatus502,
  kStatus503,
  // text64 to text69: tables that evicted keys, distinct counts.
  kSummaryBoundBefore = 64,
  kSummaryBoundAfter,
  kSummaryBytes,
  kRankGuaranteed,
  kDistinctClients,
  kVisitors,
};
static_assert(kVisitors == kLabelCount);

}  // namespace logvane

#endif  // LOGVANE_CONFIG_REPORT_LABELS_H_
