// Whole runs of the built program over one log, and the parts of their
// console and report that the robustness tests compare.
#ifndef LOGVANE_TESTS_SUPPORT_RUN_CHECK_H_
#define LOGVANE_TESTS_SUPPORT_RUN_CHECK_H_

#include <optional>
#include <string>
#include <vector>

#include "platform/fault_env.h"
#include "support/test_support.h"

namespace logvane::testing {

struct LogRun {
  ProgramResult result;
  std::string console;  // standard output, the two clock texts replaced by kFakeTime's
  std::string report;   // the report file, empty when none was written
};

// Writes `log` as access.log and a parameter file naming it, report.html,
// `lookup` as LOOKUP and the `extra` lines, and runs the program in `dir`.
LogRun RunOnLog(const TempDir& dir, const std::string& log, char lookup = 'N',
                const std::string& extra = "");

// The console of a run that ends normally, from "...... input file
// opened." on: the reading phase with `diagnostics` between its start lines
// and "End of file...", and every line after it. With `lookups` the
// translation line and the cache save line are in it too.
std::string NormalEnd(const std::string& diagnostics, long long processed, bool lookups);

// A whole run in this process on `machine`, whose root stands for the
// working directory (the cache file is its "lvipname.dat"), with `input` on
// standard input: the console, standard error and the exit status, as
// RunProgram gives them for the built program.
ProgramResult RunInProcess(FaultEnv& machine, const std::vector<std::string>& args,
                           const std::string& input = "");

// Empty when `errors` is what diagnostics may be: at most `maxLines`
// lines, each beginning "logvane: ", none with a control byte or a byte
// above 126; else what is wrong.
std::string UntidyDiagnostics(const std::string& errors, size_t maxLines = 24);

// Replaces the time texts after "started: " and "finished: ", which is all
// that a run prints of the clock (cheaper than MaskTimes on a long console).
std::string MaskRunTimes(std::string console);

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_RUN_CHECK_H_
