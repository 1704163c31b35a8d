// The one record of a run: what the report reads and the name cache. Each
// phase takes the parts it uses by reference, so each can be run and tested
// on its own.
#ifndef LOGVANE_DRIVER_RUN_STATE_H_
#define LOGVANE_DRIVER_RUN_STATE_H_

#include <memory>

#include "names/name_cache.h"
#include "report/report_input.h"

namespace logvane {

struct RunState : ReportInput {
  NameCache cache;
};

// The tables are large fixed arrays: a run state lives on the heap, zeroed.
inline std::unique_ptr<RunState> NewRunState() { return std::make_unique<RunState>(); }

}  // namespace logvane

#endif  // LOGVANE_DRIVER_RUN_STATE_H_
