// The replaceable texts of the report: captions, column headings, weekday
// names, status descriptions and the notes of summary tables. The classic
// report's are text1 to text63; the texts added since have two-digit keys
// of their own above them (the Response Times section 85 to 97), and keys
// not in use are no keys.
#ifndef LOGVANE_CONFIG_REPORT_LABELS_H_
#define LOGVANE_CONFIG_REPORT_LABELS_H_

#include <array>
#include <string>
#include <string_view>

namespace logvane {

inline constexpr int kLabelCount = 69;
// Keys past text69 are two digits at most: "text100" is text10's line.
inline constexpr int kMostLabelKey = 99;
inline constexpr size_t kLabelWidth = 49;

struct ReportLabels {
  // Index 1 to kMostLabelKey; 0 and keys that name no label stay empty.
  std::array<std::string, kMostLabelKey + 1> text;

  ReportLabels();  // the defaults
  const std::string& operator[](int key) const { return text[key]; }
};

// The default text of label `key` (1 to kMostLabelKey); empty for a key
// that names no label.
std::string_view DefaultLabel(int key);

// Whether `key` names a label.
inline bool IsLabelKey(int key) {
  return key >= 1 && key <= kMostLabelKey && !DefaultLabel(key).empty();
}

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
static_assert(kVisitors == kLabelCount);
static_assert(kTimesChart == 97);

// The user-agent sections' labels (AGENTS=Y).
enum AgentLabel : int {
  kBrowsers = 70,
  kBrowser,
  kOperatingSystems,
  kOperatingSystem,
  kCrawlersAndAgents,
  kCrawler,
  kAgentClassColumn,
  kCrawlerOperator,
  kPeople,
  kCrawlers,
  kAiVisitors,
  kAiPages,
  kTotalBrowsers,
  kTotalSystems,
  kTotalCrawlers,
};
static_assert(kTotalCrawlers == 84);

}  // namespace logvane

#endif  // LOGVANE_CONFIG_REPORT_LABELS_H_
