// The sorting phase: ranked tables by descending hits, days and hours in
// time order.
#ifndef LOGVANE_TALLY_SORT_TALLIES_H_
#define LOGVANE_TALLY_SORT_TALLIES_H_

#include "common/run_state.h"
#include "platform/console.h"

namespace logvane {

void SortTallies(RunState& state, Console& console);

}  // namespace logvane

#endif  // LOGVANE_TALLY_SORT_TALLIES_H_
