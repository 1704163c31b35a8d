// A tally read on its own (a state decoded, a log read by itself) added to
// the run's, exactly as if its records had been read after the run's: each
// table's entries in its first-seen order through the tally layer, the
// counters summed, the previous-user rule carried across the border.
#ifndef LOGVANE_STATE_STATE_MERGE_H_
#define LOGVANE_STATE_STATE_MERGE_H_

#include <cstdint>

#include "state/state_codec.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

// Per table: keys (and their hits) that found the run's table full in this
// merge, and records the piece itself had dropped when it was read.
struct TableDrops {
  int64_t keys = 0;
  int64_t hits = 0;
  int64_t droppedBefore = 0;  // the piece's own `dropped`
  bool ranFullBefore = false;
};

struct MergeDrops {
  TableDrops tables[kTableSectionCount];
};

// Adds `from` to `into`. A key found adds its hits and bytes (robot marks
// join), a new key takes the next slot, a key that finds the table full
// drops its hits (the table's `dropped`, and `ranFull` set).
void MergeTally(const Tallies& from, const RunCounters& fromCounters, Tallies& into,
                RunCounters& intoCounters, MergeDrops* drops);

}  // namespace logvane

#endif  // LOGVANE_STATE_STATE_MERGE_H_
