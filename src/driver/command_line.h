// The command line: `logvane [OPTION]... [LOG]...`, or the one argument
// that names a parameter file, as it always was.
#ifndef LOGVANE_DRIVER_COMMAND_LINE_H_
#define LOGVANE_DRIVER_COMMAND_LINE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "config/keywords.h"

namespace logvane {

// Exit status of a command line that cannot be used: nothing was read or
// written.
inline constexpr int kUsageStatus = 2;

enum class OptionAction {
  kKeyword,  // a parameter-file line: KEYWORD=VALUE (and the suffix)
  kSet,      // --set: the value is the line itself
  kParams,   // the parameter file
  kQuiet,
  kCheck,
  kHelp,
  kVersion,
  kDumpState,
};

struct OptionEntry {
  std::string_view longName;  // without "--"
  char shortName;             // 0 for none
  OptionAction action;
  std::string_view keyword;    // kKeyword: the keyword the option stands for
  std::string_view suffix;     // kKeyword: put after the value ("*" for --rotated)
  std::string_view valueName;  // "FILE"; empty when the option takes no value
  bool repeatable;
  KeywordGroup group;
  std::string_view help;
};

// Every option, in the order --help lists them within a group.
const std::vector<OptionEntry>& Options();

struct CommandLine {
  // True when any option but --check was given: then every bare argument
  // is a log and the settings below apply.
  bool withOptions = false;
  bool check = false;
  bool help = false;
  bool version = false;
  bool quiet = false;
  // --dump-state FILE: the state file to write as JSON (and nothing else).
  std::optional<std::string> dumpState;
  // The parameter file: the one bare argument without options (or
  // lvparam.dat), or --params with them.
  std::optional<std::string> parameterFile;
  // With options: parameter-file lines in the order given (keyword options,
  // --set, and INFILE=LOG for each log); each is read after the file's.
  std::vector<std::string> lines;
};

// Reads `args` (without the program's name). A line that no keyword takes,
// an unknown option, a missing value or an option given twice where once
// is meant gives a Status whose message names it.
Status ParseCommandLine(const std::vector<std::string>& args, CommandLine* out);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_COMMAND_LINE_H_
