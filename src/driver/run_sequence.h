// The run from banner to "closing...": every phase once, in a fixed order,
// with the console lines around them and every way a run can end.
#ifndef LOGVANE_DRIVER_RUN_SEQUENCE_H_
#define LOGVANE_DRIVER_RUN_SEQUENCE_H_

#include <string>
#include <vector>

#include "config/run_settings.h"
#include "platform/byte_input.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "tally/tally_tables.h"

namespace logvane {

// Exit status of a run that ended early on a failure.
inline constexpr int kEarlyEndStatus = 1;

struct RunEnvironment {
  Console& console;
  ByteInput& input;  // standard input: the prompts' answers
  const Platform& platform;
  std::string cacheFile;  // the name cache's path
  size_t readBlockLines = 0;  // lines per block of a threaded reading phase;
                              // 0 for the default, small in tests
  // Standard error, for notes to the operator beside the console; none
  // drops them.
  Console* diagnostics = nullptr;
};

// Derives the totals that the report reads from whole tables: the weekday
// averages and the nation tally, each when its section is written.
void DeriveReportTotals(const RunSettings& settings, Tallies& tallies);

// Runs the whole sequence; `args` are the command-line arguments after the
// program name. Gives the process's exit status.
int RunLogvane(const std::vector<std::string>& args, RunEnvironment& env);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_RUN_SEQUENCE_H_
