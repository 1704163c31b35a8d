// logvane --check [PARAMETER-FILE | OPTION... LOG...]: the settings read as
// a run would read them, its diagnostics, whether the log can be opened and the report
// created, and the settings a run would use. No log is read, no cache
// touched, no report written.
#ifndef LOGVANE_DRIVER_CHECK_MODE_H_
#define LOGVANE_DRIVER_CHECK_MODE_H_

#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/run_sequence.h"

namespace logvane {

// The command line with --check. Gives 0 when nothing worse than a note
// was found, else 1.
int RunCheck(const CommandLine& command, RunEnvironment& env);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_CHECK_MODE_H_
