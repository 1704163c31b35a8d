// The replaceable texts of the report: captions, column headings, weekday
// names and status descriptions. Keys 1 to 63 are the classic report's;
// later sections have keys of their own among the two-digit ones above
// (the Response Times section 85 to 99), and keys not in use are no keys.
#ifndef LOGVANE_CONFIG_REPORT_LABELS_H_
#define LOGVANE_CONFIG_REPORT_LABELS_H_

#include <array>
#include <string>
#include <string_view>

namespace logvane {

inline constexpr int kLabelCount = 63;  // the classic report's labels
inline constexpr int kLastLabelKey = 99;
inline constexpr size_t kLabelWidth = 49;

// Whether `key` names a label: 1 to 63, or a key that a later section uses.
bool IsLabelKey(int key);

struct ReportLabels {
  std::array<std::string, kLastLabelKey + 1> text;  // by key; unused keys empty

  ReportLabels();  // the defaults
  const std::string& operator[](int key) const { return text[key]; }
};

// The default text of label `key` (a label key).
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
  // The Response Times section.
  kResponseTimes = 85,
  kTimedRequests,
  kMedianTime,
  kP90Time,
  kP95Time,
  kP99Time,
  kLongestTime,
  kMeanTime,
  kAllHours,
  kSlowestPages,
  kUntimedRequests,
  kSlowPageHits,
  kTimesChart,
};
static_assert(kStatus503 == kLabelCount);
static_assert(kTimesChart <= kLastLabelKey);

}  // namespace logvane

#endif  // LOGVANE_CONFIG_REPORT_LABELS_H_
