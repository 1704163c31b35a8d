// Every setting of a run, filled by the parameter file and the prompts and
// read-only from the reading phase on.
#ifndef LOGVANE_CONFIG_RUN_SETTINGS_H_
#define LOGVANE_CONFIG_RUN_SETTINGS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "config/date_range.h"

namespace logvane {

// Widths of the settings' text fields.
inline constexpr size_t kParameterFileWidth = 99;
inline constexpr size_t kFileNameWidth = 119;  // inputFile, outputFile
inline constexpr size_t kTitleWidth = 80;
inline constexpr size_t kUserLinkTemplateWidth = 199;
inline constexpr size_t kBarImageLocationWidth = 49;
inline constexpr size_t kRobotsModeWidth = 6;
inline constexpr size_t kSelectTextWidth = 99;
inline constexpr size_t kExclusionWidth = 100;  // addresses, extras
inline constexpr size_t kExcludedTypeWidth = 20;
inline constexpr size_t kExclusionListCapacity = 99;
inline constexpr size_t kLogFormatWidth = 1000;
inline constexpr size_t kExtraFieldWidth = 100;
inline constexpr size_t kAgentsModeWidth = kFileNameWidth;  // Y, N or a path

// Which report is written: the classic page, or (STYLE=MODERN) the
// self-contained page for phones, dark mode and print.
enum class ReportStyle { kClassic, kModern };

struct RunSettings {
  std::string parameterFile = "lvparam.dat";
  std::string hostName;
  std::string inputFile;  // the last INFILE, or the prompt's answer
  // Every INFILE value in order. A run with command-line options reads
  // them all as one log (severalInputs); a run from a parameter file alone
  // reads the last, as it always has.
  std::vector<std::string> inputFiles;
  bool severalInputs = false;
  std::string outputFile;
  std::string reportTitle = "Logvane Report";
  char lookupMode = 'Y';
  char debugMode = '\0';
  int32_t lookupTimeout = 20;
  int32_t hourOffset = 0;
  std::string userLinkTemplate;
  std::string barImageLocation;
  std::string robotsMode;
  std::string geoipDatabase;  // GEOIP=: "Y", "N" or a path; empty when not given
  std::string selectText;     // lower case
  bool selectOn = false;
  bool showParameters = true;
  bool fullPageDetails = false;
  bool proxyMode = false;
  bool userFromField2 = false;
  int32_t maxUsers = 20;
  int32_t maxPages = 20;
  int32_t maxNotFound = 10;
  int32_t maxDirs = 10;
  int32_t maxNations = 20;
  int32_t maxExtra1 = 20;
  int32_t maxExtra2 = 20;
  int32_t graphWidth = 400;
  bool showUsers = true;
  bool showDates = true;
  bool showDays = true;
  bool showHours = true;
  bool showPages = true;
  bool showDirs = true;
  bool showNations = true;
  bool showCodes = true;
  std::vector<std::string> excludedAddresses;
  std::vector<std::string> excludedTypes;  // lower case
  std::vector<std::string> excludedExtra1;
  std::vector<std::string> excludedExtra2;
  int32_t dnsThreads = 1;      // reverse lookups run at once
  int32_t readingThreads = 0;  // threads of the reading phase; 0: every online core
  ReportStyle reportStyle = ReportStyle::kClassic;
  // TABLES=SUMMARY: a table that runs full keeps its heaviest keys
  // (Space-Saving), with a stated bound, instead of its first ones.
  bool summaryTables = false;
  // DISTINCT=ON: the classic report shows the distinct clients and visitors
  // too (the modern one always does).
  bool distinctInClassic = false;
  // The log's layout (empty: common or combined, read by markers) and the
  // fields that feed the extra sections (empty: referrer and user agent).
  std::string logFormat;
  std::string extra1Field;
  std::string extra2Field;
  // User agents (AGENTS): empty or "N" off, "Y" uap-core's installed
  // regexes, anything else the path of a regexes file; BOTS adds crawlers
  // from a file; EXCLUDE_BOTS=Y keeps bots out of every table but the
  // crawler section and the shares.
  std::string agentsMode;
  std::string botsFile;
  bool excludeBots = false;
  bool showBrowsers = true;
  bool showSystems = true;
  bool showCrawlers = true;
  int32_t maxBrowsers = 20;
  int32_t maxSystems = 20;
  int32_t maxCrawlers = 30;
  // The field that logs the time taken (TIMEFIELD; empty: the format's own),
  // and the Response Times section: its switch, the hits a page needs to be
  // ranked among the slowest, and how many rows of them.
  std::string timeField;
  bool showTimes = true;
  int32_t minSlowHits = 10;
  int32_t maxSlow = 20;
  // FROM and UNTIL: the records counted, and the values as written.
  DateRange dateRange;
  std::string fromText;
  std::string untilText;
  // State files: where the run writes its tally state ("-" for standard
  // output; empty for none), the states it merges before its logs, in
  // order ("-" reads a stream of them from standard input), and the source
  // tag its logs are recorded under (empty: the host name).
  std::string stateFile;
  std::vector<std::string> mergeStates;
  std::string sourceTag;
};

// Whether FROM or UNTIL narrows the records counted.
inline bool DateRangeOn(const RunSettings& s) {
  return s.dateRange.from.set || s.dateRange.until.set;
}

inline constexpr size_t kSourceTagWidth = 100;

// A run with state files reads each log on its own and merges it.
inline bool UsesStateFiles(const RunSettings& s) {
  return !s.stateFile.empty() || !s.mergeStates.empty();
}

inline constexpr int32_t kMostReadingThreads = 256;

// Where AGENTS=Y finds uap-core's expressions (Debian's uap-core).
inline constexpr const char* kInstalledUapRegexes = "/usr/share/uap-core/regexes.yaml";

// Whether AGENTS asks for the user agents to be classified.
inline bool AgentsWanted(const RunSettings& s) {
  return !s.agentsMode.empty() && s.agentsMode != "N" && s.agentsMode != "n";
}
// The regexes file AGENTS names: uap-core's for Y, else the value.
inline std::string AgentRegexesPath(const RunSettings& s) {
  return s.agentsMode == "Y" || s.agentsMode == "y" ? std::string(kInstalledUapRegexes)
                                                    : s.agentsMode;
}

// Whether the report shows distinct clients and visitors, which are then
// counted.
inline bool ShowsDistinct(const RunSettings& s) {
  return s.reportStyle == ReportStyle::kModern || s.distinctInClassic;
}

// "N" in either case: no cache file and no name translation.
inline bool LookupsOff(const RunSettings& s) { return s.lookupMode == 'N' || s.lookupMode == 'n'; }
// "X" in either case: cached names only, no new reverse lookups.
inline bool CacheOnly(const RunSettings& s) { return s.lookupMode == 'X' || s.lookupMode == 'x'; }
// "Y" or "F" in either case: trace every reverse lookup started.
inline bool TraceLookups(const RunSettings& s) {
  char d = s.debugMode;
  return d == 'Y' || d == 'y' || d == 'F' || d == 'f';
}
// "F" in either case: also a dot for every cache hit.
inline bool TraceCacheHits(const RunSettings& s) {
  return s.debugMode == 'F' || s.debugMode == 'f';
}

}  // namespace logvane

#endif  // LOGVANE_CONFIG_RUN_SETTINGS_H_
