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
  bool hasValue = equals != std::string_view::npos;
  std::string_view value = hasValue ? text.substr(equals + 1) : std::string_view();
  auto number = [&] { return LeadingInt32(value.substr(0, kNumberWidth)); };
  // The character of a one-character keyword; an empty value gives the
  // line end itself, which is neither "N" nor "X".
  auto firstChar = [&] { return !value.empty() ? value[0] : (line.hasLineEnd ? '\n' : '\0'); };

  // Switches first: PAGES=FULL and PROXY=ON include their "=".
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
      return true;
    }
  }
  if (Matches(text, "PLOW")) {
    Echo("run at a lower priority..", "");
    if (lowerPriority_) lowerPriority_();
    return true;
  }
  if (Matches(text, "PROXY=ON")) {
    Echo("analyze as PROXY log..", "");
    s_.proxyMode = true;
    SetLabel(labels_, kTopPages, "Top Domains");
    SetLabel(labels_, kPage, "Domain");
    SetLabel(labels_, kTopDirectories, "Top Access Methods");
    SetLabel(labels_, kDirectory, "Method");
    SetLabel(labels_, kTotalUniqueDirectories, "Total Access Methods       ");
    return true;
  }

  // Keywords with a value: a line without "=" is ignored.
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
    if (!hasValue) return true;
    int32_t n = Clamp(number(), num.low, num.lowValue, num.high, num.highValue);
    s_.*num.field = n;
    EchoNumber(num.echo, n);
    return true;
  }

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
  };
  for (const Text& t : kTexts) {
    if (!Matches(text, t.keyword)) continue;
    if (!hasValue) return true;
    if (!FitsOrRefuse(t.keyword, value, t.width)) return false;
    s_.*t.field = std::string(value);
    Echo(t.echo, value);
    return true;
  }

  if (Matches(text, "TITLE")) {
    if (!hasValue) return true;
    s_.reportTitle = std::string(value.substr(0, kTitleWidth));
    Echo("Title set to: ", s_.reportTitle);
    return true;
  }
  if (Matches(text, "SELECT")) {
    if (!hasValue) return true;
    s_.selectText = std::string(value.substr(0, kSelectTextWidth));
    s_.selectOn = true;
    Echo("Selecting only: ", s_.selectText);
    LowercaseInPlace(s_.selectText);
    return true;
  }
  if (Matches(text, "LOOKUP")) {
    if (!hasValue) return true;
    s_.lookupMode = firstChar();
    Echo("lookup flag set to: ", std::string_view(&s_.lookupMode, s_.lookupMode ? 1 : 0));
    return true;
  }
  if (Matches(text, "DEBUG")) {
    if (!hasValue) return true;
    s_.debugMode = firstChar();
    Echo("debug flag set to: ", std::string_view(&s_.debugMode, s_.debugMode ? 1 : 0));
    return true;
  }
  if (Matches(text, "TIMEOUT")) {
    if (!hasValue) return true;
    int32_t n = number();
    if (n == 0) n = 20;
    s_.lookupTimeout = n;
    EchoNumber("DNS timeout: ", n);
    return true;
  }
  if (Matches(text, "HOFFSET")) {
    if (!hasValue) return true;
    s_.hourOffset = number();
    EchoNumber("Hourly Offset: ", s_.hourOffset);
    return true;
  }
  if (Matches(text, "ADJWIDTH")) {
    if (!hasValue) return true;
    int32_t n = number();
    if (n < -350) n = -350;
    if (n > 350) n = 350;
    // Many ADJWIDTH lines add up; hold the sum inside 32 bits.
    int64_t width = static_cast<int64_t>(s_.graphWidth) + n;
    if (width > INT32_MAX) width = INT32_MAX;
    if (width < INT32_MIN) width = INT32_MIN;
    s_.graphWidth = static_cast<int32_t>(width);
    EchoNumber("ADJ WIDTH: ", n);
    return true;
  }
  if (Matches(text, "STYLE")) {
    if (!hasValue) return true;
    Echo("Report style: ", value);
    // The value is compared like a keyword; blanks after it do not count.
    std::string_view style = value.substr(0, value.find_last_not_of(" \t") + 1);
    s_.reportStyle = EqualsFolded(style, "MODERN") ? ReportStyle::kModern : ReportStyle::kClassic;
    return true;
  }
  if (Matches(text, "DNSTHREADS")) {
    if (!hasValue) return true;
    int32_t n = number();
    if (n < 1) n = 1;
    if (n > 64) n = 64;
    s_.dnsThreads = n;
    EchoNumber("DNS threads: ", n);
    return true;
  }

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
    if (!hasValue) return true;
    return AppendToList(s_.*l.field, value, l.width, l.echo, l.overflow, l.lowercase);
  }

  ApplyLabelLine(labels_, text);
  return true;
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
