#include "config/report_labels.h"

#include <iterator>

#include "common/ascii_text.h"

namespace logvane {

namespace {

constexpr std::string_view kDefaults[kLabelCount + 1] = {
    "",
    "Report Produced",
    "Log From",
    "Thru",
    "Total Records(Hits) Processed",
    "Top Users",
    "Unique Users Found",
    "Total Pages Requested",
    "Activity by Date",
    "Rank",
    "User",
    "Hits",
    "Graph",
    "top of report",
    "Date",
    "Total Days in Log",
    "Average Activity by Day of Week",
    "Day of Week",
    "Average Hits",
    "Percent",
    "Sunday",
    "Monday",
    "Tuesday",
    "Wednesday",
    "Thursday",
    "Friday",
    "Saturday",
    "Hourly Activity Load",
    "Hour",
    "Parameters",
    "Top Pages",
    "Page",
    "Total Unique Pages",
    "Top Directories",
    "Directory",
    "Total Unique Directories",
    "Top Nations",
    "Nation",
    "Total Unique Nations",
    "Analysis by Server Response Code",
    "Top Documents Not Found",
    "Code",
    "Description",
    "K bytes",
    "Extra 1",
    "Occurrence",
    "Total Extra 1",
    "Extra 2",
    "Total Extra 2",
    "Unknown Code",
    "OK",
    "Created",
    "Accepted",
    "Moved Permanently",
    "Moved Temporarily",
    "Not Modified - OK",
    "Bad Request",
    "Unauthorized",
    "Forbidden",
    "Not Found",
    "Internal Server Error",
    "Not Implemented",
    "Bad Gateway",
    "Service Unavailable",
    "Counts may exceed the true count by at most",
    "hits; every key with more hits is listed.",
    "K bytes may include those of the keys replaced.",
    "rank guaranteed",
    "Distinct Clients",
    "Visitors",
};

// The user-agent sections' labels, text70 to text84.
constexpr std::string_view kAgentDefaults[] = {
    "Browsers",
    "Browser",
    "Operating Systems",
    "Operating System",
    "Crawlers and AI agents",
    "Crawler",
    "Class",
    "Operator",
    "People",
    "Crawlers",
    "AI crawlers and agents",
    "Pages AI crawlers fetch most",
    "Total Unique Browsers",
    "Total Unique Operating Systems",
    "Total Unique Crawlers",
};
static_assert(std::size(kAgentDefaults) == kTotalCrawlers - kBrowsers + 1);

// The Response Times section's labels, text85 to text97.
constexpr std::string_view kTimesDefaults[] = {
    "Response Times",
    "Timed Requests",
    "Median (p50)",
    "p90",
    "p95",
    "p99",
    "Longest",
    "Mean",
    "All Hours",
    "Slowest Pages",
    "Requests Without a Time",
    "Timed Hits a Ranked Page Needs",
    "Median and p95 by Hour",
};
static_assert(std::size(kTimesDefaults) == kTimesChart - kResponseTimes + 1);

}  // namespace

ReportLabels::ReportLabels() {
  for (int key = 1; key <= kMostLabelKey; ++key) text[key] = std::string(DefaultLabel(key));
}

std::string_view DefaultLabel(int key) {
  if (key >= 1 && key <= kLabelCount) return kDefaults[key];
  if (key >= kBrowsers && key <= kTotalCrawlers) return kAgentDefaults[key - kBrowsers];
  if (key >= kResponseTimes && key <= kTimesChart) return kTimesDefaults[key - kResponseTimes];
  return {};
}

void SetLabel(ReportLabels& labels, int key, std::string_view value) {
  labels.text[key] = std::string(value.substr(0, kLabelWidth));
}

bool ApplyLabelLine(ReportLabels& labels, std::string_view line) {
  if (line.size() < 6 || !StartsWithFolded(line, "text")) return false;
  char first = line[4];
  char second = line[5];
  int key = 0;
  if (first >= '1' && first <= '9' && second == '=') {
    // text1= to text9=: the "=" must follow the digit directly.
    key = first - '0';
  } else if (first >= '1' && first <= '9' && IsDigit(second)) {
    // text10 to text99: six characters; the value starts after the first "=".
    key = (first - '0') * 10 + (second - '0');
    if (!IsLabelKey(key)) return false;
  } else {
    return false;
  }
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  SetLabel(labels, key, line.substr(equals + 1));
  return true;
}

}  // namespace logvane
