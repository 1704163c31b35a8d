#include "driver/usage.h"

#include <string>

#include "common/version.h"
#include "config/keywords.h"
#include "config/report_labels.h"
#include "driver/command_line.h"

namespace logvane {

namespace {

// One entry of the help: the name padded to a column, then its text.
void Entry(std::string& out, const std::string& name, std::string_view help) {
  constexpr size_t kColumn = 30;
  out += "  " + name;
  out += name.size() + 2 < kColumn ? std::string(kColumn - 2 - name.size(), ' ') : "  ";
  out += help;
  out += "\n";
}

std::string OptionName(const OptionEntry& o) {
  std::string name = "    --";
  if (o.shortName != 0) {
    name[0] = '-';
    name[1] = o.shortName;
    name[2] = ',';
  }
  name.append(o.longName);
  if (!o.valueName.empty()) name.append("=").append(o.valueName);
  return name;
}

}  // namespace

std::string VersionLine() { return "Quorvel Logvane v" + std::string(kVersion) + "\n"; }

std::string BannerLine() { return "[Quorvel Logvane (v" + std::string(kVersion) + ")]\n"; }

std::string UsageText() {
  std::string out =
      "usage: logvane [OPTION]... [LOG]...\n"
      "       logvane [PARAMETER-FILE]\n"
      "       logvane --check [PARAMETER-FILE | OPTION... LOG...]\n"
      "\n"
      "Reads web-server or proxy access logs and writes one HTML report:\n"
      "  logvane -o report.html access.log\n"
      "\n"
      "With any option, every bare argument is a log; several logs (plain and\n"
      "gzip mixed) are read in the given order as one log, and - is standard\n"
      "input. The parameter file --params names is read first, else\n"
      "lvparam.dat when the working directory holds one; then the options'\n"
      "settings in the order given. Without a parameter file the defaults hold,\n"
      "with LOOKUP=N: no reverse lookups unless --set LOOKUP=Y.\n"
      "Without any option, the one argument names the parameter file (default\n"
      "lvparam.dat), as it always has; a file that holds no keyword but log\n"
      "lines is refused with a hint.\n"
      "\n"
      "A parameter file holds one KEYWORD=VALUE per line (\";\" starts a\n"
      "comment); --set takes the same line. Console lines go to standard output,\n"
      "diagnostics and the progress line (on a terminal) to standard error.\n";
  const std::vector<KeywordInfo> keywords = ParameterKeywords();
  for (KeywordGroup group : kKeywordGroups) {
    out += "\n";
    out += GroupName(group);
    out += ":\n";
    if (group == KeywordGroup::kInput) Entry(out, "LOG...", "the logs to read (with options)");
    for (const OptionEntry& o : Options()) {
      if (o.group == group) Entry(out, OptionName(o), o.help);
    }
    for (const KeywordInfo& k : keywords) {
      if (k.group == group) Entry(out, std::string(k.name) + std::string(k.value), k.help);
    }
    if (group == KeywordGroup::kReport) {
      Entry(out, "text1= ... text" + std::to_string(kLabelCount) + "=", "replace one report label");
    }
  }
  out +=
      "\n"
      "Exit status:\n"
      "  0  the run is complete; --check found nothing worse than a note\n"
      "  1  the run ended early (a file that cannot be opened or created, a list\n"
      "     that overflows, a log format that cannot be used), or --check found\n"
      "     a warning or an error\n"
      "  2  the command line cannot be used: nothing was read or written\n"
      "  3  the log could not be read to its end\n"
      "  4  with state files: an input or state was refused as counted already\n"
      "     (3 when a log could not be read to its end as well)\n"
      "\n"
      "The manual page logvane(1) and the README describe every keyword and label.\n";
  return out;
}

}  // namespace logvane
