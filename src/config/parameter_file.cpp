#include "config/parameter_file.h"

#include <string>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// Longest text converted as a number.
constexpr size_t kNumberWidth = 20;

struct Line {
  std::string_view text;  // without its line end
  bool hasLineEnd = false;
};

bool Matches(std::string_view line, std::string_view keyword) {
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

class Reader {
 public:
  Reader(RunSettings& s, ReportLabels& l, Console& c, const std::function<void()>& p)
      : s_(s), labels_(l), console_(c), lowerPriority_(p) {}

  // False when the run must end.
  bool Apply(const Line& line);

 private:
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
    console_.Write(prefix);
    console_.Write(value);
    console_.Write(suffix);
    console_.Write("\n");
  }
  void EchoNumber(std::string_view prefix, int64_t n) {
    console_.Write(prefix);
    console_.WriteNumber(n);
    console_.Write("\n");
  }
  // A name that would not fit its field is refused rather than cut, so the
  // program never opens or links anything but what the operator wrote.
  bool FitsOrRefuse(std::string_view keyword, std::string_view value, size_t width) {
    if (value.size() <= width) return true;
    console_.Write("*ERROR* ");
    console_.Write(keyword);
    console_.Write(" value is longer than ");
    console_.WriteNumber(static_cast<int64_t>(width));
    console_.Write(" characters.\n");
    return false;
  }
  bool AppendToList(std::vector<std::string>& list, std::string_view value, size_t width,
                    std::string_view echoPrefix, std::string_view overflowText,
                    bool lowercase) {
    if (list.size() >= kExclusionListCapacity) {
      console_.Write(overflowText);
      console_.Write("\n");
      return false;
    }
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
};

bool Reader::Apply(const Line& line) {
  std::string_view text = line.text;
  size_t equals = text.find('=');
  Value value;
  value.present = equals != std::string_view::npos;
  value.text = value.present ? text.substr(equals + 1) : std::string_view();
  // An empty value gives the line end itself, which is neither "N" nor "X".
  value.firstChar = !value.text.empty() ? value.text[0] : (line.hasLineEnd ? '\n' : '\0');

  // Switches first: PAGES=FULL and PROXY=ON include their "=". Keywords
  // with a value ignore a line without "=".
  Outcome outcome = ApplySwitch(text);
  if (outcome == Outcome::kNotMine) outcome = ApplyNumber(text, value);
  if (outcome == Outcome::kNotMine) outcome = ApplyText(text, value);
  if (outcome == Outcome::kNotMine) outcome = ApplySpecial(text, value);
  if (outcome == Outcome::kNotMine) outcome = ApplyList(text, value);
  if (outcome == Outcome::kNotMine) ApplyLabelLine(labels_, text);
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
    s_.reportTitle = std::string(value.text.substr(0, kTitleWidth));
    Echo("Title set to: ", s_.reportTitle);
    return Outcome::kDone;
  }
  if (Matches(text, "SELECT")) {
    if (!value.present) return Outcome::kDone;
    s_.selectText = std::string(value.text.substr(0, kSelectTextWidth));
    s_.selectOn = true;
    Echo("Selecting only: ", s_.selectText);
    LowercaseInPlace(s_.selectText);
    return Outcome::kDone;
  }
  if (Matches(text, "LOOKUP")) {
    if (!value.present) return Outcome::kDone;
    s_.lookupMode = value.firstChar;
    Echo("lookup flag set to: ", std::string_view(&s_.lookupMode, s_.lookupMode ? 1 : 0));
    return Outcome::kDone;
  }
  if (Matches(text, "DEBUG")) {
    if (!value.present) return Outcome::kDone;
    s_.debugMode = value.firstChar;
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
      {"EXCLUDE_ADDR", &RunSettings::excludedAddresses, kExclusionWidth,
       "excluding address: [", "*ERROR* too many exclusion addresses", false},
      {"EXCLUDE_TYPE", &RunSettings::excludedTypes, kExcludedTypeWidth,
       "excluding type: [", "*ERROR* too many exclusion types", true},
      {"EXCLUDE_EXTRA1", &RunSettings::excludedExtra1, kExclusionWidth,
       "excluding EXTRA 1: [", "*ERROR* too many EXTRA 1 exclusions ", false},
      {"EXCLUDE_EXTRA2", &RunSettings::excludedExtra2, kExclusionWidth,
       "excluding EXTRA 2: [", "*ERROR* too many EXTRA 2 exclusions ", false},
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

bool ReadParameterFile(std::string_view content, RunSettings& settings,
                       ReportLabels& labels, Console& console,
                       const std::function<void()>& lowerPriority) {
  Reader reader(settings, labels, console, lowerPriority);
  size_t position = 0;
  while (position < content.size()) {
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
    if (!reader.Apply(line)) return false;
  }
  return true;
}

}  // namespace logvane
