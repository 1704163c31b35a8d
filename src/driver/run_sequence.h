// The run from banner to "closing...": every phase once, in a fixed order,
// with the console lines around them and every way a run can end.
#ifndef LOGVANE_DRIVER_RUN_SEQUENCE_H_
#define LOGVANE_DRIVER_RUN_SEQUENCE_H_

#include <string>
#include <vector>

#include "config/run_settings.h"
#include "platform/byte_input.h"
#include "platform/console.h"
#include "platform/env.h"

namespace logvane {

// Exit status of a run that ended early on a failure.
inline constexpr int kEarlyEndStatus = 1;
// Exit status of a run that wrote its report and the cache, but could not
// read the log to its end (a read error, damaged compressed data).
inline constexpr int kLogCutShortStatus = 3;

struct RunEnvironment {
  Console& console;
  ByteInput& input;           // standard input: the prompts' answers
  Env& machine;               // files, clock, host, resolver and threads
  std::string cacheFile;      // the name cache's path
  size_t readBlockLines = 0;  // lines per block of a threaded reading phase;
                              // 0 for the default, small in tests
  // Standard error, for notes to the operator beside the console; none
  // drops them.
  Console* diagnostics = nullptr;
  // OUTFILE=- may write the report to standard output (a file or a pipe,
  // not a terminal); the console then moves to standard error.
  bool standardOutputTakesReport = false;
  // Standard error is a terminal: the reading phase shows its progress
  // line there (unless --quiet); the console shares that terminal when
  // standard output is it too.
  bool progressOnTerminal = false;
  bool consoleSharesTerminal = false;
};

// The report name that means standard output.
inline bool IsStandardOutputName(const std::string& path) { return path == "-"; }

// Runs the whole sequence; `args` are the command-line arguments after the
// program name. Gives the process's exit status.
int RunLogvane(const std::vector<std::string>& args, RunEnvironment& env);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_RUN_SEQUENCE_H_
