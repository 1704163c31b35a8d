// The steps of a run with state files: the states merged and the logs read
// one at a time into a scratch tally and merged, so that an input counted
// already is refused before any of it is added; the run's state written
// after the reading phase; and --dump-state.
#ifndef LOGVANE_DRIVER_STATE_STEPS_H_
#define LOGVANE_DRIVER_STATE_STEPS_H_

#include <memory>
#include <optional>
#include <string>

#include "driver/run_sequence.h"
#include "driver/run_state.h"
#include "intake/input_chain.h"
#include "intake/log_format.h"
#include "intake/read_records.h"
#include "state/provenance.h"

namespace logvane {

// Exit status of a run that refused an input or a state as counted
// already: the report and the state were written without it.
inline constexpr int kRefusedInputStatus = 4;

// A tally for one log or one state at a time, set aside once for the run.
struct ScratchTally {
  Tallies tallies;
  RunCounters counters;
};

struct ScratchDeleter {
  void operator()(ScratchTally* scratch) const;
};

// What a run with state files keeps from the reading phase to the end.
struct StateRun {
  std::unique_ptr<ScratchTally, ScratchDeleter> scratch;
  RunInputs inputs;
  bool refused = false;  // an input or a state added nothing: counted already
};

StateRun NewStateRun();

// The reading phase of a run with state files: every MERGE state in order,
// then each log of `logs` (when given) on its own, each merged into the
// run's tallies. Gives the exit status when the run must end (a state that
// cannot be read or was counted by other rules).
std::optional<int> TallyWithStates(RunEnvironment& env, RunState& state, const LogFormat& format,
                                   InputChain* logs, const ReadingPlan& plan, StateRun& run);

// Writes the run's state to STATEFILE (atomically) or standard output;
// after a log that could not be read to its end it writes none and says
// so, and the run goes on. Gives the exit status when the state cannot be
// written.
std::optional<int> WriteStateFile(RunEnvironment& env, const RunState& state, const StateRun& run);

// --dump-state FILE: every state of the file as one JSON object a line.
int DumpStateFile(const std::string& path, RunEnvironment& env);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_STATE_STEPS_H_
