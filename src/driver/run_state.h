// The one record of a run: what the report reads and the name cache. Each
// phase takes the parts it uses by reference, so each can be run and tested
// on its own.
#ifndef LOGVANE_DRIVER_RUN_STATE_H_
#define LOGVANE_DRIVER_RUN_STATE_H_

#include <cstdlib>
#include <memory>
#include <new>

#include "names/name_cache.h"
#include "report/report_input.h"

namespace logvane {

struct RunState : ReportInput {
  NameCache cache;
};

struct RunStateDeleter {
  void operator()(RunState* state) const {
    state->~RunState();
    std::free(state);
  }
};

using RunStatePtr = std::unique_ptr<RunState, RunStateDeleter>;

// The tables are large fixed arrays: a run state lives on the heap, zeroed.
// The zeroes come from the system (calloc hands out fresh zero pages for a
// block this large) and the tables, plain data, are not constructed over
// them, so a page is paid for only when a run first writes to it: a short
// log touches a few pages of each table, and the name cache costs nothing
// under LOOKUP=N.
inline RunStatePtr NewRunState() {
  void* memory = std::calloc(1, sizeof(RunState));
  if (memory == nullptr) throw std::bad_alloc();
  return RunStatePtr(new (memory) RunState);
}

}  // namespace logvane

#endif  // LOGVANE_DRIVER_RUN_STATE_H_
