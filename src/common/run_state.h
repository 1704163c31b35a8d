// The one record of a run: settings, labels, tallies, cache and counters.
// Every phase takes it (or the parts it needs) by reference, so each can be
// run and tested on its own.
#ifndef LOGVANE_COMMON_RUN_STATE_H_
#define LOGVANE_COMMON_RUN_STATE_H_

#include <cstdint>
#include <memory>

#include "config/report_labels.h"
#include "config/run_settings.h"
#include "names/name_cache.h"
#include "names/user_addresses.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

struct RunState {
  RunSettings settings;
  ReportLabels labels;
  RunCounters counters;
  Tallies tallies;
  NameCache cache;
  UserAddresses userAddresses;  // addresses of users translated to names
};

// The tables are large fixed arrays: a run state lives on the heap, zeroed.
inline std::unique_ptr<RunState> NewRunState() {
  auto state = std::make_unique<RunState>();
  return state;
}

}  // namespace logvane

#endif  // LOGVANE_COMMON_RUN_STATE_H_
