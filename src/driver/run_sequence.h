// The run from banner to "closing...": every phase once, in a fixed order,
// with the console lines around them and every way a run can end.
#ifndef LOGVANE_DRIVER_RUN_SEQUENCE_H_
#define LOGVANE_DRIVER_RUN_SEQUENCE_H_

#include <string>
#include <vector>

#include "config/run_settings.h"
#include "names/geoip_database.h"
#include "names/user_addresses.h"
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

// A country database and the addresses of users whose keys became names.
struct NationsByAddress {
  const GeoDatabase& database;
  const UserAddresses& addresses;
};

// Derives the totals that the report reads from whole tables: the weekday
// averages and the nation tally, each when its section is written. With
// `byAddress` the nations go by address; a database that breaks midway
// gives way to the top-level domains: then false, with `failure` saying why.
bool DeriveReportTotals(const RunSettings& settings, Tallies& tallies,
                        const NationsByAddress* byAddress = nullptr, GeoFailure* failure = nullptr);

// Runs the whole sequence; `args` are the command-line arguments after the
// program name. Gives the process's exit status.
int RunLogvane(const std::vector<std::string>& args, RunEnvironment& env);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_RUN_SEQUENCE_H_
