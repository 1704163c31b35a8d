// The parts of a run that the reading phase fills, for tests of that phase
// alone. The tables are large fixed arrays: the record lives on the heap.
#ifndef LOGVANE_TESTS_SUPPORT_READING_STATE_H_
#define LOGVANE_TESTS_SUPPORT_READING_STATE_H_

#include <memory>

#include "config/run_settings.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane::testing {

struct ReadingState {
  RunSettings settings;
  RunCounters counters;
  Tallies tallies;
};

inline std::unique_ptr<ReadingState> NewReadingState() { return std::make_unique<ReadingState>(); }

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_READING_STATE_H_
