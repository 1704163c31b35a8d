#include "config/parameter_file.h"

#include <map>
#include <string>
#include <vector>

#include "common/ascii_text.h"
#include "config/keyword_hints.h"

namespace logvane {

namespace {

// Longest text converted as a number.
constexpr size_t kNumberWidth = 20;

struct Line {
  std::string_view text;  // without its line end
  bool hasLineEnd = false;
};

// Keyword tests inside the reader go through Reader::Matches, which also
// feeds the diagnostics; this one serves code outside it.
[[maybe_unused]] bool Matches(std::string_view line, std::string_view keyword) {
  return StartsWithFolded(line, keyword);
}

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
bool Accumulates(std::string_view keyword) {
  static const std::string_view kKeywords[] = {
      "EXCLUDE_ADDR", "EXCLUDE_TYPE", "EXCLUDE_EXTRA1", "EXCLUDE_EXTRA2", "ADJWIDTH",
      "NOSHOW",       "PLOW"};
  for (std::string_view k : kKeywords) {
    if (k == keyword) return true;
  }
  return keyword.starts_with("NO_") || keyword.find('=') != std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The key of a label line: "text1" to "text9" stand right before their "=",
// "text10" to "text63" are six characters whatever follows.
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
  kRankLookups,
  kRankEndsRun
};

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

  // One kind of keyword line. A step that does not know the line's keyword
  // passes it on; the first that knows it acts on it.
  enum class Outcome { kNotMine, kDone, kEndRun };
  struct Value {
    bool present;           // the line has an "="
    std::string_view text;  // after the "="
    char firstChar;         // of a one-character keyword's value
  };
  Outcome ApplySwitch(std::string_view text);
  Outcome ApplyNumber(std::string_view text, const Value& value);
  Outcome ApplyText(std::string_view text, const Value& value);
  Outcome ApplySpecial(std::string_view text, const Value& value);
  Outcome ApplyList(std::string_view text, const Value& value);

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
        message += " (label keys are text1 to text63, with \"=\" right after the number)";
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
  } else if (!Accumulates(matched_) && text.find('=') != std::string_view::npos) {
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

bool Reader::Apply(const Line& line) {
  std::string_view text = line.text;
  size_t equals = text.find('=');
  Value value;
  value.present = equals != std::string_view::npos;
  value.text = value.present ? text.substr(equals + 1) : std::string_view();
  // An empty value gives the line end itself, which is neither "N" nor "X".
  value.firstChar = !value.text.empty() ? value.text[0] : (line.hasLineEnd ? '\n' : '\0');
  value_ = value.text;

  // Switches first: PAGES=FULL and PROXY=ON include their "=". Keywords
  // with a value ignore a line without "=".
  Outcome outcome = ApplySwitch(text);
  if (outcome == Outcome::kNotMine) outcome = ApplyNumber(text, value);
  if (outcome == Outcome::kNotMine) outcome = ApplyText(text, value);
  if (outcome == Outcome::kNotMine) outcome = ApplySpecial(text, value);
  if (outcome == Outcome::kNotMine) outcome = ApplyList(text, value);
  if (outcome == Outcome::kNotMine && ApplyLabelLine(labels_, text)) {
    matched_ = "text";
    CheckCut(LabelKey(text), value.text, kLabelWidth);
  }
  return outcome != Outcome::kEndRun;
}

Reader::Outcome Reader::ApplySwitch(std::string_view text) {
  struct Switch {
    std::string_view keyword;
    bool RunSettings::*field;
    bool value;
    std::string_view echo;
  };
  static const Switch kSwitches[] = {
      {"NOSHOW", &RunSettings::showParameters, false, "NO SHOW exclusions."},
      {"PAGES=FULL", &RunSettings::fullPageDetails, true, "* Full page details *."},
      {"USER=FIELD2", &RunSettings::userFromField2, true, "use field2 as user when available.."},
      {"NO_USER", &RunSettings::showUsers, false, "USERS report dropped.."},
      {"NO_DATE", &RunSettings::showDates, false, "DATES report dropped.."},
      {"NO_DAY", &RunSettings::showDays, false, "DAYS report dropped.."},
      {"NO_HOUR", &RunSettings::showHours, false, "HOURS report dropped.."},
      {"NO_PAGE", &RunSettings::showPages, false, "PAGES report dropped.."},
      {"NO_DIR", &RunSettings::showDirs, false, "DIRECTORIES report dropped.."},
      {"NO_NATION", &RunSettings::showNations, false, "NATIONS report dropped.."},
      {"NO_CODE", &RunSettings::showCodes, false, "SERVER CODES report dropped.."},
  };
  for (const Switch& sw : kSwitches) {
    if (Matches(text, sw.keyword)) {
      Echo(sw.echo, "");
      s_.*sw.field = sw.value;
      return Outcome::kDone;
    }
  }
  if (Matches(text, "PLOW")) {
    Echo("run at a lower priority..", "");
    if (lowerPriority_) lowerPriority_();
    return Outcome::kDone;
  }
  if (Matches(text, "PROXY=ON")) {
    Echo("analyze as PROXY log..", "");
    s_.proxyMode = true;
    SetLabel(labels_, kTopPages, "Top Domains");
    SetLabel(labels_, kPage, "Domain");
    SetLabel(labels_, kTopDirectories, "Top Access Methods");
    SetLabel(labels_, kDirectory, "Method");
    SetLabel(labels_, kTotalUniqueDirectories, "Total Access Methods       ");
    return Outcome::kDone;
  }
  return Outcome::kNotMine;
}

Reader::Outcome Reader::ApplyNumber(std::string_view text, const Value& value) {
  struct Numeric {
    std::string_view keyword;
    int32_t RunSettings::*field;
    int32_t low, lowValue, high, highValue;
    std::string_view echo;
  };
  static const Numeric kNumbers[] = {
      {"MAXUSERS", &RunSettings::maxUsers, 10, 10, 10000, 9999, "MAX TOP USERS: "},
      {"MAXPAGES", &RunSettings::maxPages, 0, 10, 10000, 9999, "MAX TOP PAGES: "},
      {"MAXNOTFOUND", &RunSettings::maxNotFound, 0, 10, 1000, 999, "MAX NOT FOUND: "},
      {"MAXDIRS", &RunSettings::maxDirs, 0, 10, 1000, 999, "MAX TOP DIRECTORIES: "},
      {"MAXNATIONS", &RunSettings::maxNations, 10, 10, 500, 500, "MAX TOP NATIONS: "},
      {"MAXEXTRA1", &RunSettings::maxExtra1, 0, 20, 1000, 999, "MAX EXTRA 1: "},
      {"MAXEXTRA2", &RunSettings::maxExtra2, 0, 20, 1000, 999, "MAX EXTRA 2: "},
  };
  for (const Numeric& num : kNumbers) {
    if (!Matches(text, num.keyword)) continue;
    if (!value.present) return Outcome::kDone;
    int32_t n = Clamp(NumberOf(value), num.low, num.lowValue, num.high, num.highValue);
    s_.*num.field = n;
    EchoNumber(num.echo, n);
    return Outcome::kDone;
  }
  return Outcome::kNotMine;
}

Reader::Outcome Reader::ApplyText(std::string_view text, const Value& value) {
  struct Text {
    std::string_view keyword;
    std::string RunSettings::*field;
    size_t width;
    std::string_view echo;
  };
  static const Text kTexts[] = {
      {"INFILE", &RunSettings::inputFile, kFileNameWidth, "Input file: "},
      {"OUTFILE", &RunSettings::outputFile, kFileNameWidth, "Output file: "},
      {"ULOOKUP", &RunSettings::userLinkTemplate, kUserLinkTemplateWidth, "ULOOKUP: "},
      {"hstb_loc", &RunSettings::barImageLocation, kBarImageLocationWidth, "hstb.gif location: "},
      {"ROBOTS", &RunSettings::robotsMode, kRobotsModeWidth, "Robots: "},
      {"LOGFORMAT", &RunSettings::logFormat, kLogFormatWidth, "Log format: "},
      {"EXTRA1", &RunSettings::extra1Field, kExtraFieldWidth, "Extra 1 field: "},
      {"EXTRA2", &RunSettings::extra2Field, kExtraFieldWidth, "Extra 2 field: "},
      {"GEOIP", &RunSettings::geoipDatabase, kFileNameWidth, "GeoIP database: "},
  };
  for (const Text& t : kTexts) {
    if (!Matches(text, t.keyword)) continue;
    if (!value.present) return Outcome::kDone;
    if (!FitsOrRefuse(t.keyword, value.text, t.width)) return Outcome::kEndRun;
    CheckTextValue(t.keyword, value.text);
    s_.*t.field = std::string(value.text);
    Echo(t.echo, value.text);
    return Outcome::kDone;
  }
  return Outcome::kNotMine;
}

// The keywords whose values each take their own handling.
Reader::Outcome Reader::ApplySpecial(std::string_view text, const Value& value) {
  if (Matches(text, "TITLE")) {
    if (!value.present) return Outcome::kDone;
    CheckCut("TITLE", value.text, kTitleWidth);
    s_.reportTitle = std::string(value.text.substr(0, kTitleWidth));
    Echo("Title set to: ", s_.reportTitle);
    return Outcome::kDone;
  }
  if (Matches(text, "SELECT")) {
    if (!value.present) return Outcome::kDone;
    CheckCut("SELECT", value.text, kSelectTextWidth);
    s_.selectText = std::string(value.text.substr(0, kSelectTextWidth));
    s_.selectOn = true;
    Echo("Selecting only: ", s_.selectText);
    LowercaseInPlace(s_.selectText);
    return Outcome::kDone;
  }
  if (Matches(text, "LOOKUP")) {
    if (!value.present) return Outcome::kDone;
    s_.lookupMode = value.firstChar;
    CheckLookup(value.text);
    Echo("lookup flag set to: ", std::string_view(&s_.lookupMode, s_.lookupMode ? 1 : 0));
    return Outcome::kDone;
  }
  if (Matches(text, "DEBUG")) {
    if (!value.present) return Outcome::kDone;
    s_.debugMode = value.firstChar;
    CheckDebug(value.text);
    Echo("debug flag set to: ", std::string_view(&s_.debugMode, s_.debugMode ? 1 : 0));
    return Outcome::kDone;
  }
  if (Matches(text, "TIMEOUT")) {
    if (!value.present) return Outcome::kDone;
    int32_t n = NumberOf(value);
    if (n == 0) n = 20;
    s_.lookupTimeout = n;
    EchoNumber("DNS timeout: ", n);
    return Outcome::kDone;
  }
  if (Matches(text, "HOFFSET")) {
    if (!value.present) return Outcome::kDone;
    s_.hourOffset = NumberOf(value);
    EchoNumber("Hourly Offset: ", s_.hourOffset);
    return Outcome::kDone;
  }
  if (Matches(text, "ADJWIDTH")) {
    if (!value.present) return Outcome::kDone;
    int32_t n = NumberOf(value);
    if (n < -350) n = -350;
    if (n > 350) n = 350;
    // Many ADJWIDTH lines add up; hold the sum inside 32 bits.
    int64_t width = static_cast<int64_t>(s_.graphWidth) + n;
    if (width > INT32_MAX) width = INT32_MAX;
    if (width < INT32_MIN) width = INT32_MIN;
    s_.graphWidth = static_cast<int32_t>(width);
    EchoNumber("ADJ WIDTH: ", n);
    return Outcome::kDone;
  }
  if (Matches(text, "STYLE")) {
    if (!value.present) return Outcome::kDone;
    Echo("Report style: ", value.text);
    // The value is compared like a keyword; blanks after it do not count.
    std::string_view style = value.text.substr(0, value.text.find_last_not_of(" \t") + 1);
    s_.reportStyle = EqualsFolded(style, "MODERN") ? ReportStyle::kModern : ReportStyle::kClassic;
    return Outcome::kDone;
  }
  if (Matches(text, "THREADS")) {
    if (!value.present) return Outcome::kDone;
    int32_t n = NumberOf(value);
    if (n < 0) n = 0;
    if (n > kMostReadingThreads) n = kMostReadingThreads;
    s_.readingThreads = n;
    EchoNumber("Threads: ", n);
    return Outcome::kDone;
  }
  if (Matches(text, "DNSTHREADS")) {
    if (!value.present) return Outcome::kDone;
    int32_t n = NumberOf(value);
    if (n < 1) n = 1;
    if (n > 64) n = 64;
    s_.dnsThreads = n;
    EchoNumber("DNS threads: ", n);
    return Outcome::kDone;
  }
  return Outcome::kNotMine;
}

Reader::Outcome Reader::ApplyList(std::string_view text, const Value& value) {
  struct List {
    std::string_view keyword;
    std::vector<std::string> RunSettings::*field;
    size_t width;
    std::string_view echo;
    std::string_view overflow;
    bool lowercase;
  };
  static const List kLists[] = {
      {"EXCLUDE_ADDR", &RunSettings::excludedAddresses, kExclusionWidth, "excluding address: [",
       "*ERROR* too many exclusion addresses", false},
      {"EXCLUDE_TYPE", &RunSettings::excludedTypes, kExcludedTypeWidth, "excluding type: [",
       "*ERROR* too many exclusion types", true},
      {"EXCLUDE_EXTRA1", &RunSettings::excludedExtra1, kExclusionWidth, "excluding EXTRA 1: [",
       "*ERROR* too many EXTRA 1 exclusions ", false},
      {"EXCLUDE_EXTRA2", &RunSettings::excludedExtra2, kExclusionWidth, "excluding EXTRA 2: [",
       "*ERROR* too many EXTRA 2 exclusions ", false},
  };
  for (const List& l : kLists) {
    if (!Matches(text, l.keyword)) continue;
    if (!value.present) return Outcome::kDone;
    return AppendToList(s_.*l.field, value.text, l.width, l.echo, l.overflow, l.lowercase)
               ? Outcome::kDone
               : Outcome::kEndRun;
  }
  return Outcome::kNotMine;
}

}  // namespace

bool ReadParameterFile(std::string_view content, RunSettings& settings, ReportLabels& labels,
                       Console& console, const std::function<void()>& lowerPriority,
                       Diagnostics* diagnostics, std::string_view fileName) {
  Reader reader(settings, labels, console, lowerPriority, diagnostics, fileName);
  size_t position = 0;
  size_t lineNumber = 1;
  while (position < content.size()) {
    // A piece of an over-long line counts as the line it belongs to.
    if (position > 0 && content[position - 1] == '\n') ++lineNumber;
    // One piece: up to and including a line end, at most 1999 characters.
    size_t limit = std::min(content.size() - position, kParameterPieceWidth);
    std::string_view piece = content.substr(position, limit);
    size_t newline = piece.find('\n');
    if (newline != std::string_view::npos) piece = piece.substr(0, newline + 1);
    position += piece.size();

    // The line is text: it ends at a NUL byte as it would in a C string.
    size_t nul = piece.find('\0');
    if (nul != std::string_view::npos) piece = piece.substr(0, nul);
    if (piece.size() < 2 || piece[0] == ';' || piece[0] == ' ') continue;

    Line line;
    line.text = piece;
    if (line.text.back() == '\n') {
      line.hasLineEnd = true;
      line.text.remove_suffix(1);
      // A file written with CR LF line ends keeps no CR in its values.
      if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    }
    reader.BeginLine(lineNumber);
    bool goOn = reader.Apply(line);
    reader.EndLine(line);
    if (!goOn) return false;
  }
  return true;
}

}  // namespace logvane
