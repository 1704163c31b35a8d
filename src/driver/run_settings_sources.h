// Where a run's settings come from: the parameter file (named, or
// lvparam.dat), then the command line's own settings, each line echoed as
// it is read. A run and --check read them by the same steps.
#ifndef LOGVANE_DRIVER_RUN_SETTINGS_SOURCES_H_
#define LOGVANE_DRIVER_RUN_SETTINGS_SOURCES_H_

#include <optional>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/run_sequence.h"
#include "driver/run_state.h"

namespace logvane {

// The file a run reads its settings from, if any: with options, --params
// or lvparam.dat when the working directory (of `env`) holds one; without, the one
// argument or lvparam.dat.
std::optional<std::string> ParameterFileOf(Env& env, const CommandLine& command);

// Reads the parameter file `file` (when given) and the command line's
// settings into `state`. `checking` prints --check's heading instead of a
// run's file lines. Gives the exit status when the run must end here.
std::optional<int> ReadSettings(const CommandLine& command, const std::optional<std::string>& file,
                                RunEnvironment& env, RunState& state, bool checking);

// For a parameter file that holds no keyword but starts like an access
// log (or gzip data): the hint that says how to analyse it; else empty.
std::string AccessLogHint(const std::string& name, const std::string& content);

// Whether `text` begins with lines in the common or combined format (the
// date in brackets, a quoted request) or JSON lines, or with gzip data.
bool LooksLikeAccessLog(std::string_view text);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_RUN_SETTINGS_SOURCES_H_
