// What a tally table keeps to hold its heavy keys once it runs full
// (TABLES=SUMMARY): instead of dropping a new key, the table hands it the
// slot with the fewest hits, as in Space-Saving (Metwally, Agrawal and El
// Abbadi, 2005). The new key starts from that slot's count plus its own
// record, and the inherited count is the slot's overcount.
//
// The order by hits (a StreamSummary) is built only when the table first
// has to evict, from the exact counts it holds then, and kept from there
// on; a table that never runs full never builds it, so its counts and its
// report are exactly those without summary mode.
//
// Guarantee for a table of C slots after N counted records: every key with
// more than bound() <= N/C true hits holds a slot, and a slot's hits are at
// most its overcount (<= bound()) above its key's true hits. A slot's byte
// sum may likewise hold the bytes of the keys it replaced, at most its
// byteOvercount. Plain data, all zero when off; only a table that evicts
// writes more than the flag.
#ifndef LOGVANE_TALLY_TABLE_SUMMARY_H_
#define LOGVANE_TALLY_TABLE_SUMMARY_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tally/stream_summary.h"

namespace logvane {

template <size_t Capacity>
struct TableSummary {
  bool on;       // TABLES=SUMMARY: a new key that finds the table full evicts
  bool ordered;  // `order` follows the slots' hits (from the first eviction)
  // Set (release) by the counting thread before its first eviction: other
  // threads no longer look keys up in this table (SharedSlotOf), since a
  // slot no longer stays its key's for good.
  uint8_t closed;
  int64_t evictions;    // new keys that took another key's slot
  int64_t firstRecord;  // the record (line number) of the first eviction; 0 for none
  StreamSummary<Capacity> order;
  // Indexed by slot, as the entries are; SortTallies keeps them beside
  // their entries.
  int64_t overcount[Capacity];
  double byteOvercount[Capacity];
  // Each slot's key hash, from the first eviction on: moving index entries
  // back after a deletion needs their home buckets, which this gives
  // without reading (and hashing) the keys.
  uint64_t hashOf[Capacity];
};

template <size_t C>
bool SummaryClosed(const TableSummary<C>& s) {
  return __atomic_load_n(&s.closed, __ATOMIC_ACQUIRE) != 0;
}

template <size_t C>
void CloseSummary(TableSummary<C>& s) {
  __atomic_store_n(&s.closed, uint8_t{1}, __ATOMIC_RELEASE);
}

// Whether the table replaced keys, so that its counts carry a bound.
template <size_t C>
bool SummaryEvicted(const TableSummary<C>& s) {
  return s.evictions != 0;
}

// The largest overcount a slot may carry, and the hits above which every
// key is in the table; 0 while the table is exact.
template <size_t C>
int64_t SummaryBound(const TableSummary<C>& s) {
  return s.ordered ? s.order.bound : 0;
}

// Empties the summary but keeps it on or off; only what was used is written.
template <size_t C>
void ClearTableSummary(TableSummary<C>& s, size_t used) {
  if (s.ordered) ClearSummary(s.order);
  if (s.evictions != 0) {
    std::memset(s.overcount, 0, used * sizeof(s.overcount[0]));
    std::memset(s.byteOvercount, 0, used * sizeof(s.byteOvercount[0]));
  }
  s.ordered = false;
  s.closed = 0;
  s.evictions = 0;
  s.firstRecord = 0;
}

// Builds the order from the exact hits of slots 0 .. C-1 (every slot in
// use), once, when the table first has to evict.
template <size_t C>
void OrderSummary(TableSummary<C>& s, const std::vector<int64_t>& hits) {
  std::vector<int64_t> overcounts(hits.size(), 0);
  // Every count is at least 1 and the bound 0: LoadSummary cannot refuse.
  (void)LoadSummary(s.order, hits, overcounts, 0);
  s.ordered = true;
}

// Whether the row at `rank` (0-based) of a table sorted by hits is in its
// true place: its hits less its overcount are at least the next row's hits
// (the last row's next is the bound, the most any key outside can have).
inline bool RankGuaranteed(int64_t hits, int64_t overcount, int64_t nextHits) {
  return hits - overcount >= nextHits;
}

}  // namespace logvane

#endif  // LOGVANE_TALLY_TABLE_SUMMARY_H_
