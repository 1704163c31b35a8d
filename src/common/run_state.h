// The one record of a run: settings, labels, tallies, cache and counters.
// Every phase takes it (or the parts it needs) by reference, so each can be
// run and tested on its own.
#ifndef LOGVANE_COMMON_RUN_STATE_H_
#define LOGVANE_COMMON_RUN_STATE_H_

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "config/report_labels.h"
#include "config/run_settings.h"
#include "names/name_cache.h"
#include "tally/tally_tables.h"

namespace logvane {

struct RunCounters {
  int64_t processedCount = 0;  // "Total Records(Hits) Processed"
  int64_t pagesRequested = 0;  // records whose user differs from the previous
  FixedText<kKeyWidth> previousUser{};  // user of the last record that had one
  bool hasExtra1 = false;      // some record reached the extra(1) tally
  bool hasExtra2 = false;
  bool readError = false;      // reading ended on an error, not at the end
};

// Made only by NewRunState. The tables are not constructed: they are used
// as the zeroed memory they are made in (constructing them would write to
// every slot, and so to every page, of some 24 MB).
struct RunState {
  RunState() {}
  ~RunState() {}
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;

  RunSettings settings;
  ReportLabels labels;
  RunCounters counters;
  union {
    Tallies tallies;
  };
  union {
    NameCache cache;
  };
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
// block this large), so a page is only paid for when a run first writes to
// it: a short log touches a few pages of each table, and the name cache
// costs nothing under LOOKUP=N.
inline RunStatePtr NewRunState() {
  void* memory = std::calloc(1, sizeof(RunState));
  if (memory == nullptr) throw std::bad_alloc();
  return RunStatePtr(new (memory) RunState);
}

}  // namespace logvane

#endif  // LOGVANE_COMMON_RUN_STATE_H_
