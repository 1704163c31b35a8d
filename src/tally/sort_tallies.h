// The sorting phase: ranked tables by descending hits, days and hours in
// time order.
#ifndef LOGVANE_TALLY_SORT_TALLIES_H_
#define LOGVANE_TALLY_SORT_TALLIES_H_

#include "config/run_settings.h"
#include "platform/console.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

void SortTallies(const RunSettings& settings, const RunCounters& counters, Tallies& tallies,
                 Console& console);

}  // namespace logvane

#endif  // LOGVANE_TALLY_SORT_TALLIES_H_
