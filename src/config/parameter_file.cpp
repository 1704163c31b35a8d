#include "config/parameter_file.h"

#include <map>
#include <string>
#include <vector>

#include "common/ascii_text.h"
#include "config/date_range.h"
#include "config/keyword_hints.h"
#include "config/keywords.h"

namespace logvane {

namespace {

// Longest text converted as a number.
constexpr size_t kNumberWidth = 20;

struct Line {
  std::string_view text;  // without its line end
  bool hasLineEnd = false;
};

// The value read as a number.
template <typename V>
int32_t NumberOf(const V& value) {
  return LeadingInt32(value.text.substr(0, kNumberWidth));
}

int32_t Clamp(int32_t n, int32_t low, int32_t lowValue, int32_t high, int32_t highValue) {
  if (n <= low) return lowValue;
  if (n >= high) return highValue;
  return n;
}

// Keywords whose lines add up or only switch something on or off: given
// twice they do no harm.
bool Accumulates(std::string_view keyword, const RunSettings& settings) {
  if (keyword == "INFILE") return settings.severalInputs;
  static const std::string_view kKeywords[] = {"EXCLUDE_ADDR",   "EXCLUDE_TYPE", "EXCLUDE_EXTRA1",
                                               "EXCLUDE_EXTRA2", "ADJWIDTH",     "NOSHOW",
                                               "PLOW",           "MERGE"};
  for (std::string_view k : kKeywords) {
    if (k == keyword) return true;
  }
  return keyword.starts_with("NO_") || keyword.find('=') != std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The key of a label line: "text1" to "text9" stand right before their "=",
// "text10" to "text99" are six characters whatever follows.
std::string_view LabelKey(std::string_view line) {
  return line.substr(0, line.size() > 5 && line[5] == '=' ? 5 : 6);
}

// How much a diagnostic matters: a line keeps only its most important one.
enum Rank {
  kRankNone,
  kRankGivenTwice,
  kRankShape,
  kRankValue,
  kRankUnknown,
  kRankNul,
  kRankLookups,
  kRankEndsRun
};

struct Keyword;

class Reader {
 public:
  Reader(RunSettings& s, ReportLabels& l, Console& c, const std::function<void()>& p,
         Diagnostics* d, std::string_view fileName)
      : s_(s), labels_(l), console_(c), lowerPriority_(p), diag_(d), fileName_(fileName) {}

  // False when the run must end.
  bool Apply(const Line& line);

  // Diagnostics of one line: BeginLine before Apply, EndLine after it.
  void BeginLine(size_t number) {
    lineNumber_ = number;
    matched_ = {};
    echoed_ = false;
    tried_.clear();
    pendingRank_ = kRankNone;
  }
  void EndLine(const Line& line);

 private:
  // A keyword test that also remembers, for the diagnostics, which keyword
  // took the line and which were tried: every keyword of the reader goes
  // through it, so the hints know each one without a list of their own.
  bool Matches(std::string_view line, std::string_view keyword) {
    if (StartsWithFolded(line, keyword)) {
      matched_ = keyword;
      return true;
    }
    if (diag_ != nullptr) tried_.push_back(keyword);
    return false;
  }
  void Flag(Rank rank, Severity severity, std::string text) {
    if (diag_ == nullptr || rank <= pendingRank_) return;
    pendingRank_ = rank;
    pendingSeverity_ = severity;
    pending_ = std::move(text);
  }
  static std::string Shown(std::string_view value) {
    std::string shown(1, '\'');
    shown.append(Visible(value)).push_back('\'');
    return shown;
  }
  void CheckNumber(int64_t used);
  void CheckCut(std::string_view keyword, std::string_view value, size_t width) {
    if (value.size() <= width) return;
    Flag(kRankShape, Severity::kWarning,
         std::string(keyword) + " value is " + std::to_string(value.size()) +
             " characters long; only the first " + std::to_string(width) + " are used");
  }
  void CheckTextValue(std::string_view keyword, std::string_view value);
  void CheckLookup(std::string_view value);
  void CheckDebug(std::string_view value);
  void CheckHourOffset(int32_t offset);
  // A value that cannot be used at all: the run ends, as for a name too long.
  bool Refuse(std::string_view keyword, std::string_view value, const Status& why) {
    Flag(kRankEndsRun, Severity::kError,
         std::string(keyword) + "=" + Visible(value) + ": " + why.Reason() + ": the run ends here");
    console_.Write("*ERROR* ");
    console_.Write(keyword);
    console_.Write(" value cannot be used: ");
    console_.Write(why.Reason());
    console_.Write("\n");
    return false;
  }

 public:
  // A NUL byte at `column` of the line ended it early: the rest is unread.
  void FlagNul(size_t column, std::string_view rest) {
    Flag(kRankNul, Severity::kWarning,
         "a NUL byte at column " + std::to_string(column) +
             " ends the line there: the rest of it (" + Shown(rest) + ") is not read");
  }

 private:
  // One kind of keyword line. A step that does not know the line's keyword
  // passes it on; the first that knows it acts on it.
  enum class Outcome { kNotMine, kDone, kEndRun };
  struct Value {
    bool present;           // the line has an "="
    std::string_view text;  // after the "="
    char firstChar;         // of a one-character keyword's value
  };
  Outcome ApplyKeyword(const Keyword& keyword, const Value& value);
  Outcome ApplySpecial(std::string_view name, const Value& value);
  Outcome ApplyTextSpecial(std::string_view name, const Value& value);
  Outcome ApplyNumberSpecial(std::string_view name, const Value& value);
  Outcome ApplyDateBound(std::string_view name, const Value& value);

  void Echo(std::string_view prefix, std::string_view value, std::string_view suffix = "") {
    echoed_ = true;
    console_.Write(prefix);
    console_.Write(value);
    console_.Write(suffix);
    console_.Write("\n");
  }
  void EchoNumber(std::string_view prefix, int64_t n) {
    echoed_ = true;
    CheckNumber(n);
    console_.Write(prefix);
    console_.WriteNumber(n);
    console_.Write("\n");
  }
  // A name that would not fit its field is refused rather than cut, so the
  // program never opens or links anything but what the operator wrote.
  bool FitsOrRefuse(std::string_view keyword, std::string_view value, size_t width) {
    if (value.size() <= width) return true;
    Flag(kRankEndsRun, Severity::kError,
         std::string(keyword) + " value is " + std::to_string(value.size()) +
             " characters long, more than " + std::to_string(width) + ": the run ends here");
    console_.Write("*ERROR* ");
    console_.Write(keyword);
    console_.Write(" value is longer than ");
    console_.WriteNumber(static_cast<int64_t>(width));
    console_.Write(" characters.\n");
    return false;
  }
  bool AppendToList(std::vector<std::string>& list, std::string_view value, size_t width,
                    std::string_view echoPrefix, std::string_view overflowText, bool lowercase) {
    if (list.size() >= kExclusionListCapacity) {
      Flag(kRankEndsRun, Severity::kError,
           "more than " + std::to_string(kExclusionListCapacity) + " " + std::string(matched_) +
               " lines: the run ends here");
      console_.Write(overflowText);
      console_.Write("\n");
      return false;
    }
    CheckCut(matched_, value, width);
    std::string stored(value.substr(0, width));
    Echo(echoPrefix, stored, "]");
    if (lowercase) LowercaseInPlace(stored);
    list.push_back(std::move(stored));
    return true;
  }

  RunSettings& s_;
  ReportLabels& labels_;
  Console& console_;
  const std::function<void()>& lowerPriority_;

  Diagnostics* diag_;
  std::string_view fileName_;
  size_t lineNumber_ = 0;
  size_t lastReportedLine_ = 0;
  std::string_view value_;    // the value of the line being read
  std::string_view matched_;  // the keyword that took it, if any
  bool echoed_ = false;       // it was acted on and echoed
  std::vector<std::string_view> tried_;
  Rank pendingRank_ = kRankNone;
  Severity pendingSeverity_ = Severity::kNote;
  std::string pending_;
  std::map<std::string, size_t, std::less<>> firstLine_;  // keyword: line it was first on
};

void Reader::CheckNumber(int64_t used) {
  std::string keyword(matched_);
  std::string_view value = value_;
  if (value.size() > kNumberWidth) {
    Flag(kRankValue, Severity::kWarning,
         keyword + " value " + Shown(value) + " is longer than " + std::to_string(kNumberWidth) +
             " characters and was cut: using " + std::to_string(used));
  } else if (!IsPlainNumber(value)) {
    Flag(kRankValue, Severity::kWarning,
         keyword + " value " + Shown(value) + " is not a number: using " + std::to_string(used));
  } else if (keyword == "TIMEOUT" && used < 0) {
    Flag(kRankValue, Severity::kWarning,
         keyword + "=" + Visible(value) +
             " is negative: every reverse lookup is given up at once, so no new names are found");
  } else if (LeadingInteger(value) != used) {
    Flag(kRankValue, Severity::kWarning,
         keyword + "=" + Visible(value) + " is outside its range: using " + std::to_string(used));
  }
}

void Reader::CheckTextValue(std::string_view keyword, std::string_view value) {
  if (keyword == "ROBOTS" && !EqualsFolded(value, "RPT")) {
    Flag(kRankValue, Severity::kWarning,
         "ROBOTS value " + Shown(value) + " is not RPT: robots are not marked");
    return;
  }
  if (keyword != "INFILE" && keyword != "OUTFILE") return;
  size_t from = 0;
  size_t to = value.size();
  while (from < to && IsBlank(value[from])) ++from;
  while (to > from && IsBlank(value[to - 1])) --to;
  if (from == 0 && to == value.size()) return;
  Flag(kRankShape, Severity::kWarning,
       std::string(keyword) + " value " + Shown(value) +
           " has blanks around it, which are part of the name; write " + std::string(keyword) +
           "=" + Visible(value.substr(from, to - from)));
}

void Reader::CheckLookup(std::string_view value) {
  if (LookupsOff(s_) || CacheOnly(s_) || s_.lookupMode == 'Y' || s_.lookupMode == 'y') return;
  const std::string fix = "reverse lookups are ON; write LOOKUP=N to turn them off";
  if (value.empty()) {
    Flag(kRankLookups, Severity::kWarning, "LOOKUP has no value: " + fix);
  } else if (IsBlank(value[0])) {
    Flag(kRankLookups, Severity::kWarning,
         "LOOKUP value " + Shown(value) + " begins with a blank, which counts: " + fix);
  } else {
    Flag(kRankLookups, Severity::kWarning,
         "LOOKUP value " + Shown(value) + " is not Y, N or X: " + fix);
  }
}

void Reader::CheckDebug(std::string_view value) {
  // N is a plain "off", said on purpose.
  if (TraceLookups(s_) || s_.debugMode == 'N' || s_.debugMode == 'n') return;
  const std::string fix = "lookup tracing is OFF; write DEBUG=Y to trace lookups";
  if (value.empty()) {
    Flag(kRankValue, Severity::kWarning, "DEBUG has no value: " + fix);
  } else if (IsBlank(value[0])) {
    Flag(kRankValue, Severity::kWarning,
         "DEBUG value " + Shown(value) + " begins with a blank, which counts: " + fix);
  } else {
    Flag(kRankValue, Severity::kWarning, "DEBUG value " + Shown(value) + " is not Y or F: " + fix);
  }
}

void Reader::CheckHourOffset(int32_t offset) {
  if (offset >= -23 && offset <= 23) return;
  // An hour is moved around the day once (0 to 23 plus the offset, less or
  // plus 24), and the hour table keeps two characters of it.
  constexpr size_t kHourKeyWidth = 2;
  std::string first, last;
  for (int64_t hour = 0; hour < 24; ++hour) {
    int64_t shifted = hour + offset + (offset > 0 ? -24 : 24);
    std::string key = std::to_string(shifted).substr(0, kHourKeyWidth);
    if (first.empty()) first = key;
    last = key;
  }
  std::string rows = first == last ? "every hit will be in the one hour row " + first
                                   : "the hour rows will show " + first + " to " + last;
  Flag(kRankValue, Severity::kWarning,
       "HOFFSET=" + Visible(value_) + " is outside -23 to 23: " + rows + " instead of 0 to 23");
}

void Reader::EndLine(const Line& line) {
  if (diag_ == nullptr) return;
  std::string_view text = line.text;
  if (lineNumber_ == 1 && text.starts_with(kByteOrderMark)) {
    std::string_view rest = text.substr(kByteOrderMark.size());
    if (!rest.empty() && rest[0] != ';' && rest[0] != ' ') {
      Flag(kRankUnknown, Severity::kWarning,
           "the file begins with a UTF-8 byte-order mark, so line 1 (" + Shown(rest) +
               ") is not read; save the file without the mark");
    }
  } else if (matched_.empty()) {
    std::string_view word = SettingWord(text);
    if (!word.empty()) {
      std::string message = "unknown keyword " + Shown(word) + ": line ignored";
      if (StartsWithFolded(word, "text") && word.size() > 4) {
        message +=
            " (label keys are text1 to text69, text70 to text84 and text85 to text97, with \"=\" "
            "right after the number)";
      } else {
        std::string_view nearest = NearestKeyword(word, tried_);
        if (!nearest.empty()) message += "; did you mean " + std::string(nearest) + "?";
      }
      Flag(kRankUnknown, Severity::kWarning, message);
    }
  } else if (!echoed_ && matched_ != "text" && text.find('=') == std::string_view::npos) {
    // Every keyword line that acts is echoed; one that did not act lacked
    // the "=" its value needs.
    Flag(kRankUnknown, Severity::kWarning,
         std::string(matched_) + " needs \"=\" and a value: line ignored");
  } else if (!Accumulates(matched_, s_) && text.find('=') != std::string_view::npos) {
    std::string key(matched_ == "text" ? LabelKey(text) : matched_);
    for (char& c : key) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    auto [at, fresh] = firstLine_.emplace(key, lineNumber_);
    if (!fresh && at->second != lineNumber_) {
      Flag(kRankGivenTwice, Severity::kWarning,
           Visible(matched_ == "text" ? LabelKey(text) : text.substr(0, text.find('='))) +
               " given again (first on line " + std::to_string(at->second) +
               "): this later value wins");
    }
  }
  if (pendingRank_ == kRankNone || lineNumber_ == lastReportedLine_) return;
  lastReportedLine_ = lineNumber_;
  diag_->Report(pendingSeverity_, FileLine(fileName_, lineNumber_), pending_);
}

// The one table of keywords: the dispatch below tries them in this order,
// and ParameterKeywords() hands the same entries to --help, the manual
// page's test and the completion, so none of them can miss one.
enum class Kind { kSwitch, kPlow, kProxy, kNumber, kText, kSpecial, kList };

struct Keyword {
  KeywordInfo info;
  Kind kind;
  std::string_view echo = {};
  bool RunSettings::*flag = nullptr;  // kSwitch: the field and the value it gets
  bool flagValue = false;
  int32_t RunSettings::*number = nullptr;  // kNumber: the field and its corrections
  int32_t low = 0, lowValue = 0, high = 0, highValue = 0;
  std::string RunSettings::*text = nullptr;               // kText: the field and its width
  size_t width = 0;                                       // kText, kList: the longest value kept
  std::vector<std::string> RunSettings::*list = nullptr;  // kList
  std::string_view overflow = {};
  bool lowercase = false;
};

using G = KeywordGroup;

constexpr Keyword Switch(std::string_view name, G group, std::string_view help,
                         bool RunSettings::*flag, bool value, std::string_view echo) {
  return {.info = {name, group, "", help},
          .kind = Kind::kSwitch,
          .echo = echo,
          .flag = flag,
          .flagValue = value};
}
constexpr Keyword Number(std::string_view name, G group, std::string_view help,
                         int32_t RunSettings::*field, int32_t low, int32_t lowValue, int32_t high,
                         int32_t highValue, std::string_view echo) {
  return {.info = {name, group, "=N", help},
          .kind = Kind::kNumber,
          .echo = echo,
          .number = field,
          .low = low,
          .lowValue = lowValue,
          .high = high,
          .highValue = highValue};
}
constexpr Keyword Text(std::string_view name, G group, std::string_view value,
                       std::string_view help, std::string RunSettings::*field, size_t width,
                       std::string_view echo) {
  return {.info = {name, group, value, help},
          .kind = Kind::kText,
          .echo = echo,
          .text = field,
          .width = width};
}
// A keyword whose value takes handling of its own (Reader::ApplySpecial).
constexpr Keyword Special(std::string_view name, G group, std::string_view value,
                          std::string_view help) {
  return {.info = {name, group, value, help}, .kind = Kind::kSpecial};
}
constexpr Keyword List(std::string_view name, G group, std::string_view help,
                       std::vector<std::string> RunSettings::*field, size_t width,
                       std::string_view echo, std::string_view overflow, bool lowercase) {
  return {.info = {name, group, "=text", help},
          .kind = Kind::kList,
          .echo = echo,
          .width = width,
          .list = field,
          .overflow = overflow,
          .lowercase = lowercase};
}

using S = RunSettings;

const Keyword kKeywords[] = {
    // Switches first: PAGES=FULL and PROXY=ON include their "=".
    Switch("NOSHOW", G::kReport, "leave the parameters block out of the report", &S::showParameters,
           false, "NO SHOW exclusions."),
    Switch("PAGES=FULL", G::kInput, "keep the query part (?...) of pages", &S::fullPageDetails,
           true, "* Full page details *."),
    Switch("USER=FIELD2", G::kInput, "the user from the ident/authuser field if any",
           &S::userFromField2, true, "use field2 as user when available.."),
    Switch("NO_USER", G::kReport, "drop the Top Users section", &S::showUsers, false,
           "USERS report dropped.."),
    Switch("NO_DATE", G::kReport, "drop the Activity by Date section", &S::showDates, false,
           "DATES report dropped.."),
    Switch("NO_DAY", G::kReport, "drop the Day of Week section", &S::showDays, false,
           "DAYS report dropped.."),
    Switch("NO_HOUR", G::kReport, "drop the Hourly Activity section", &S::showHours, false,
           "HOURS report dropped.."),
    Switch("NO_PAGE", G::kReport, "drop the Top Pages section", &S::showPages, false,
           "PAGES report dropped.."),
    Switch("NO_DIR", G::kReport, "drop the Top Directories section", &S::showDirs, false,
           "DIRECTORIES report dropped.."),
    Switch("NO_NATION", G::kReport, "drop the Top Nations section", &S::showNations, false,
           "NATIONS report dropped.."),
    Switch("NO_CODE", G::kReport, "drop the Server Response Code section", &S::showCodes, false,
           "SERVER CODES report dropped.."),
    Switch("NO_BROWSER", G::kReport, "drop the Browsers section (AGENTS)", &S::showBrowsers, false,
           "BROWSERS report dropped.."),
    Switch("NO_SYSTEM", G::kReport, "drop the Operating Systems section (AGENTS)", &S::showSystems,
           false, "SYSTEMS report dropped.."),
    Switch("NO_CRAWLER", G::kReport, "drop the Crawlers and AI agents section (AGENTS)",
           &S::showCrawlers, false, "CRAWLERS report dropped.."),
    Switch("TABLES=SUMMARY", G::kTables, "full tables keep their heaviest keys", &S::summaryTables,
           true, "Tables: SUMMARY"),
    Switch("DISTINCT=ON", G::kReport, "distinct clients, visitors in classic too",
           &S::distinctInClassic, true, "Distinct counts: ON"),
    Switch("NO_TIMES", G::kReport, "drop the Response Times section", &S::showTimes, false,
           "RESPONSE TIMES report dropped.."),
    {.info = {"PLOW", G::kRun, "", "run at idle priority"},
     .kind = Kind::kPlow,
     .echo = "run at a lower priority.."},
    {.info = {"PROXY=ON", G::kInput, "", "a proxy log: domains and access methods"},
     .kind = Kind::kProxy,
     .echo = "analyze as PROXY log.."},
    Number("MAXUSERS", G::kTables, "rows of Top Users (10 to 9999)", &S::maxUsers, 10, 10, 10000,
           9999, "MAX TOP USERS: "),
    Number("MAXPAGES", G::kTables, "rows of Top Pages (1 to 9999)", &S::maxPages, 0, 10, 10000,
           9999, "MAX TOP PAGES: "),
    Number("MAXNOTFOUND", G::kTables, "rows of Top Documents Not Found (1 to 999)", &S::maxNotFound,
           0, 10, 1000, 999, "MAX NOT FOUND: "),
    Number("MAXDIRS", G::kTables, "rows of Top Directories (1 to 999)", &S::maxDirs, 0, 10, 1000,
           999, "MAX TOP DIRECTORIES: "),
    Number("MAXNATIONS", G::kTables, "rows of Top Nations (10 to 500)", &S::maxNations, 10, 10, 500,
           500, "MAX TOP NATIONS: "),
    Number("MAXEXTRA1", G::kTables, "rows of the Extra 1 section (1 to 999)", &S::maxExtra1, 0, 20,
           1000, 999, "MAX EXTRA 1: "),
    Number("MAXEXTRA2", G::kTables, "rows of the Extra 2 section (1 to 999)", &S::maxExtra2, 0, 20,
           1000, 999, "MAX EXTRA 2: "),
    Number("MAXBROWSERS", G::kTables, "rows of Browsers (1 to 999)", &S::maxBrowsers, 0, 20, 1000,
           999, "MAX BROWSERS: "),
    Number("MAXSYSTEMS", G::kTables, "rows of Operating Systems (1 to 999)", &S::maxSystems, 0, 20,
           1000, 999, "MAX SYSTEMS: "),
    Number("MAXCRAWLERS", G::kTables, "rows of the crawler and AI page tables (1 to 999)",
           &S::maxCrawlers, 0, 30, 1000, 999, "MAX CRAWLERS: "),
    Number("MAXSLOW", G::kTables, "rows of Slowest Pages (1 to 999)", &S::maxSlow, 0, 20, 1000, 999,
           "MAX SLOWEST PAGES: "),
    Number("MINHITS", G::kTables, "timed hits a page needs among the Slowest Pages",
           &S::minSlowHits, 0, 1, 1000000000, 1000000000, "MIN HITS OF SLOWEST PAGES: "),
    Text("INFILE", G::kInput, "=path", "a log; - for standard input; BASE* a rotated set",
         &S::inputFile, kFileNameWidth, "Input file: "),
    Text("OUTFILE", G::kOutput, "=path", "the report; - for standard output", &S::outputFile,
         kFileNameWidth, "Output file: "),
    Text("ULOOKUP", G::kReport, "=<a href=\"...{user}...\">", "the link put on each user",
         &S::userLinkTemplate, kUserLinkTemplateWidth, "ULOOKUP: "),
    Text("hstb_loc", G::kReport, "=prefix", "the bar image is prefix/hstb.gif",
         &S::barImageLocation, kBarImageLocationWidth, "hstb.gif location: "),
    Text("ROBOTS", G::kInput, "=RPT", "mark users who ask for /robots... as spiders",
         &S::robotsMode, kRobotsModeWidth, "Robots: "),
    Text("LOGFORMAT", G::kFormats, "=format", "COMBINED, COMMON, VHOST_COMBINED, JSON, or custom",
         &S::logFormat, kLogFormatWidth, "Log format: "),
    Text("EXTRA1", G::kFormats, "=field", "the field that feeds the Extra 1 section",
         &S::extra1Field, kExtraFieldWidth, "Extra 1 field: "),
    Text("EXTRA2", G::kFormats, "=field", "the field that feeds the Extra 2 section",
         &S::extra2Field, kExtraFieldWidth, "Extra 2 field: "),
    Text("TIMEFIELD", G::kFormats, "=field[:unit]", "the time-taken field (unit s, ms, us, ns)",
         &S::timeField, kExtraFieldWidth, "Time field: "),
    Text("GEOIP", G::kNames, "=Y|N|path", "nations by address from a country database",
         &S::geoipDatabase, kFileNameWidth, "GeoIP database: "),
    Text("AGENTS", G::kInput, "=Y|N|path", "browsers, systems, crawlers from user agents",
         &S::agentsMode, kAgentsModeWidth, "User agents: "),
    Text("BOTS", G::kInput, "=path", "more crawlers: robots.json or lines", &S::botsFile,
         kFileNameWidth, "Bots file: "),
    Special("EXCLUDE_BOTS", G::kInput, "=Y|N", "bots count only in the crawler section"),
    Text("STATEFILE", G::kOutput, "=path", "write the tally state; - for standard output",
         &S::stateFile, kFileNameWidth, "State file: "),
    Text("SOURCE", G::kInput, "=name", "the logs' source tag (default: the host name)",
         &S::sourceTag, kSourceTagWidth, "Source: "),
    Special("MERGE", G::kInput, "=path", "merge a state first; - for standard input"),
    Special("TITLE", G::kReport, "=text", "the report's title (first 80 characters)"),
    Special("SELECT", G::kInput, "=text", "count only requests that contain the text"),
    Special("LOOKUP", G::kNames, "=Y|X|N", "N: no names; X: names from the cache file only"),
    Special("DEBUG", G::kNames, "=Y|F", "trace every reverse lookup (F: and cache hits)"),
    Special("TIMEOUT", G::kNames, "=seconds", "how long one reverse lookup may take"),
    Special("HOFFSET", G::kInput, "=hours", "hours added to every hour of the log (-23 to 23)"),
    Special("ADJWIDTH", G::kReport, "=pixels", "added to the bar graph's width (-350 to 350)"),
    Special("STYLE", G::kReport, "=CLASSIC|MODERN", "the classic report or the modern page"),
    Special("THREADS", G::kRun, "=N", "threads of the reading phase; 0: every core"),
    Special("DNSTHREADS", G::kNames, "=N", "reverse lookups run at once (1 to 64)"),
    Special("FROM", G::kInput, "=date|time", "count from then (YYYY-MM-DD[THH:MM[:SS]][zone])"),
    Special("UNTIL", G::kInput, "=date|time", "count until then (a date: to its end)"),
    List("EXCLUDE_ADDR", G::kInput, "skip clients whose address begins so (up to 99)",
         &S::excludedAddresses, kExclusionWidth, "excluding address: [",
         "*ERROR* too many exclusion addresses", false),
    List("EXCLUDE_TYPE", G::kInput, "leave pages with the text out of Top Pages", &S::excludedTypes,
         kExcludedTypeWidth, "excluding type: [", "*ERROR* too many exclusion types", true),
    List("EXCLUDE_EXTRA1", G::kInput, "leave Extra 1 values that contain the text out",
         &S::excludedExtra1, kExclusionWidth, "excluding EXTRA 1: [",
         "*ERROR* too many EXTRA 1 exclusions ", false),
    List("EXCLUDE_EXTRA2", G::kInput, "leave Extra 2 values that contain the text out",
         &S::excludedExtra2, kExclusionWidth, "excluding EXTRA 2: [",
         "*ERROR* too many EXTRA 2 exclusions ", false),
};

Reader::Outcome Reader::ApplyKeyword(const Keyword& k, const Value& value) {
  // Keywords with a value ignore a line without "=".
  if (k.kind != Kind::kSwitch && k.kind != Kind::kPlow && k.kind != Kind::kProxy &&
      !value.present) {
    return Outcome::kDone;
  }
  switch (k.kind) {
    case Kind::kSwitch:
      Echo(k.echo, "");
      s_.*k.flag = k.flagValue;
      return Outcome::kDone;
    case Kind::kPlow:
      Echo(k.echo, "");
      if (lowerPriority_) lowerPriority_();
      return Outcome::kDone;
    case Kind::kProxy:
      Echo(k.echo, "");
      s_.proxyMode = true;
      SetLabel(labels_, kTopPages, "Top Domains");
      SetLabel(labels_, kPage, "Domain");
      SetLabel(labels_, kTopDirectories, "Top Access Methods");
      SetLabel(labels_, kDirectory, "Method");
      SetLabel(labels_, kTotalUniqueDirectories, "Total Access Methods       ");
      return Outcome::kDone;
    case Kind::kNumber: {
      int32_t n = Clamp(NumberOf(value), k.low, k.lowValue, k.high, k.highValue);
      s_.*k.number = n;
      EchoNumber(k.echo, n);
      return Outcome::kDone;
    }
    case Kind::kText:
      if (!FitsOrRefuse(k.info.name, value.text, k.width)) return Outcome::kEndRun;
      CheckTextValue(k.info.name, value.text);
      s_.*k.text = std::string(value.text);
      // With several inputs every INFILE line names one more log.
      if (k.text == &RunSettings::inputFile) s_.inputFiles.emplace_back(value.text);
      Echo(k.echo, value.text);
      return Outcome::kDone;
    case Kind::kSpecial: return ApplySpecial(k.info.name, value);
    case Kind::kList:
      return AppendToList(s_.*k.list, value.text, k.width, k.echo, k.overflow, k.lowercase)
                 ? Outcome::kDone
                 : Outcome::kEndRun;
  }
  return Outcome::kDone;
}

// The keywords whose values each take their own handling: a date bound, a
// text or flag, or a number; each step passes on the names it does not know.
Reader::Outcome Reader::ApplySpecial(std::string_view name, const Value& value) {
  if (name == "FROM" || name == "UNTIL") return ApplyDateBound(name, value);
  Outcome outcome = ApplyTextSpecial(name, value);
  if (outcome == Outcome::kNotMine) outcome = ApplyNumberSpecial(name, value);
  return outcome == Outcome::kNotMine ? Outcome::kDone : outcome;
}

Reader::Outcome Reader::ApplyTextSpecial(std::string_view name, const Value& value) {
  if (name == "MERGE") {
    // Every MERGE line adds one state, in the order given.
    if (!FitsOrRefuse("MERGE", value.text, kFileNameWidth)) return Outcome::kEndRun;
    s_.mergeStates.emplace_back(value.text);
    Echo("Merge state: ", value.text);
  } else if (name == "TITLE") {
    CheckCut("TITLE", value.text, kTitleWidth);
    s_.reportTitle = std::string(value.text.substr(0, kTitleWidth));
    Echo("Title set to: ", s_.reportTitle);
  } else if (name == "SELECT") {
    CheckCut("SELECT", value.text, kSelectTextWidth);
    s_.selectText = std::string(value.text.substr(0, kSelectTextWidth));
    s_.selectOn = true;
    Echo("Selecting only: ", s_.selectText);
    LowercaseInPlace(s_.selectText);
  } else if (name == "LOOKUP") {
    s_.lookupMode = value.firstChar;
    CheckLookup(value.text);
    Echo("lookup flag set to: ", std::string_view(&s_.lookupMode, s_.lookupMode ? 1 : 0));
  } else if (name == "DEBUG") {
    s_.debugMode = value.firstChar;
    CheckDebug(value.text);
    Echo("debug flag set to: ", std::string_view(&s_.debugMode, s_.debugMode ? 1 : 0));
  } else if (name == "STYLE") {
    Echo("Report style: ", value.text);
    // The value is compared like a keyword; blanks after it do not count.
    std::string_view style = value.text.substr(0, value.text.find_last_not_of(" \t") + 1);
    s_.reportStyle = EqualsFolded(style, "MODERN") ? ReportStyle::kModern : ReportStyle::kClassic;
  } else if (name == "EXCLUDE_BOTS") {
    Echo("Exclude bots: ", value.text);
    s_.excludeBots =
        EqualsFolded(value.text.substr(0, value.text.find_last_not_of(" \t") + 1), "Y");
  } else {
    return Outcome::kNotMine;
  }
  return Outcome::kDone;
}

Reader::Outcome Reader::ApplyNumberSpecial(std::string_view name, const Value& value) {
  if (name == "TIMEOUT") {
    int32_t n = NumberOf(value);
    if (n == 0) n = 20;
    s_.lookupTimeout = n;
    EchoNumber("DNS timeout: ", n);
  } else if (name == "HOFFSET") {
    s_.hourOffset = NumberOf(value);
    EchoNumber("Hourly Offset: ", s_.hourOffset);
    CheckHourOffset(s_.hourOffset);
  } else if (name == "ADJWIDTH") {
    int32_t n = NumberOf(value);
    if (n < -350) n = -350;
    if (n > 350) n = 350;
    // Many ADJWIDTH lines add up; hold the sum inside 32 bits.
    int64_t width = static_cast<int64_t>(s_.graphWidth) + n;
    if (width > INT32_MAX) width = INT32_MAX;
    if (width < INT32_MIN) width = INT32_MIN;
    s_.graphWidth = static_cast<int32_t>(width);
    EchoNumber("ADJ WIDTH: ", n);
  } else if (name == "THREADS") {
    int32_t n = NumberOf(value);
    if (n < 0) n = 0;
    if (n > kMostReadingThreads) n = kMostReadingThreads;
    s_.readingThreads = n;
    EchoNumber("Threads: ", n);
  } else if (name == "DNSTHREADS") {
    int32_t n = NumberOf(value);
    if (n < 1) n = 1;
    if (n > 64) n = 64;
    s_.dnsThreads = n;
    EchoNumber("DNS threads: ", n);
  } else {
    return Outcome::kNotMine;
  }
  return Outcome::kDone;
}

Reader::Outcome Reader::ApplyDateBound(std::string_view name, const Value& value) {
  const bool from = name == "FROM";
  Echo(from ? "From: " : "Until: ", value.text);
  DateRange range = s_.dateRange;
  DateBound& bound = from ? range.from : range.until;
  Status read = ParseDateBound(value.text, from ? BoundKind::kFrom : BoundKind::kUntil, &bound);
  if (read.ok()) read = CheckDateRange(range);
  if (!read.ok()) return Refuse(name, value.text, read) ? Outcome::kDone : Outcome::kEndRun;
  s_.dateRange = range;
  (from ? s_.fromText : s_.untilText) = std::string(value.text);
  return Outcome::kDone;
}
bool Reader::Apply(const Line& line) {
  std::string_view text = line.text;
  size_t equals = text.find('=');
  Value value;
  value.present = equals != std::string_view::npos;
  value.text = value.present ? text.substr(equals + 1) : std::string_view();
  // An empty value gives the line end itself, which is neither "N" nor "X".
  value.firstChar = !value.text.empty() ? value.text[0] : (line.hasLineEnd ? '\n' : '\0');
  value_ = value.text;

  Outcome outcome = Outcome::kNotMine;
  for (const Keyword& keyword : kKeywords) {
    if (!Matches(text, keyword.info.name)) continue;
    outcome = ApplyKeyword(keyword, value);
    break;
  }
  if (outcome == Outcome::kNotMine && ApplyLabelLine(labels_, text)) {
    matched_ = "text";
    CheckCut(LabelKey(text), value.text, kLabelWidth);
  }
  return outcome != Outcome::kEndRun;
}

}  // namespace

std::string_view GroupName(KeywordGroup group) {
  switch (group) {
    case KeywordGroup::kInput: return "input";
    case KeywordGroup::kFormats: return "formats";
    case KeywordGroup::kTables: return "tables";
    case KeywordGroup::kNames: return "names";
    case KeywordGroup::kReport: return "report";
    case KeywordGroup::kOutput: return "output";
    case KeywordGroup::kRun: return "run";
  }
  return "";
}

std::vector<KeywordInfo> ParameterKeywords() {
  std::vector<KeywordInfo> keywords;
  for (const Keyword& keyword : kKeywords) keywords.push_back(keyword.info);
  return keywords;
}

bool ReadParameterFile(std::string_view content, RunSettings& settings, ReportLabels& labels,
                       Console& console, const std::function<void()>& lowerPriority,
                       Diagnostics* diagnostics, std::string_view fileName) {
  Reader reader(settings, labels, console, lowerPriority, diagnostics, fileName);
  size_t position = 0;
  size_t lineNumber = 1;
  size_t column = 0;  // of the piece's start in its line
  while (position < content.size()) {
    // A piece of an over-long line counts as the line it belongs to.
    if (position > 0 && content[position - 1] == '\n') ++lineNumber;
    // One piece: up to and including a line end, at most 1999 characters.
    size_t limit = std::min(content.size() - position, kParameterPieceWidth);
    std::string_view piece = content.substr(position, limit);
    size_t newline = piece.find('\n');
    if (newline != std::string_view::npos) piece = piece.substr(0, newline + 1);
    position += piece.size();
    const size_t pieceSize = piece.size();

    // The line is text: it ends at a NUL byte as it would in a C string,
    // which the operator hears of unless the line was a comment anyway.
    size_t nul = piece.find('\0');
    std::string_view cutOff;
    if (nul != std::string_view::npos) {
      if (piece[0] != ';' && piece[0] != ' ') cutOff = piece.substr(nul + 1);
      piece = piece.substr(0, nul);
      while (!cutOff.empty() && (cutOff.back() == '\n' || cutOff.back() == '\r')) {
        cutOff.remove_suffix(1);
      }
    }
    const size_t nulColumn = column + nul + 1;
    column = content[position - 1] == '\n' ? 0 : column + pieceSize;
    if (piece.size() < 2 || piece[0] == ';' || piece[0] == ' ') {
      if (nul != std::string_view::npos && !cutOff.empty()) {
        reader.BeginLine(lineNumber);
        reader.FlagNul(nulColumn, cutOff);
        reader.EndLine(Line{});
      }
      continue;
    }

    Line line;
    line.text = piece;
    if (line.text.back() == '\n') {
      line.hasLineEnd = true;
      line.text.remove_suffix(1);
      // A file written with CR LF line ends keeps no CR in its values.
      if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    }
    reader.BeginLine(lineNumber);
    if (!cutOff.empty()) reader.FlagNul(nulColumn, cutOff);
    bool goOn = reader.Apply(line);
    reader.EndLine(line);
    if (!goOn) return false;
  }
  return true;
}

bool HoldsKeywordLine(std::string_view content) {
  ReportLabels scratch;
  while (!content.empty()) {
    size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    line = line.substr(0, line.find('\0'));
    if (line.empty() || line[0] == ';' || line[0] == ' ') continue;
    for (const Keyword& keyword : kKeywords) {
      if (StartsWithFolded(line, keyword.info.name)) return true;
    }
    if (ApplyLabelLine(scratch, line)) return true;
  }
  return false;
}

}  // namespace logvane
