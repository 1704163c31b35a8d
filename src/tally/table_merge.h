// Adding one ranked table into another, as a month is merged from its days:
// exactly while both are exact and their keys fit together, else by the
// rule for Space-Saving summaries of Agarwal et al. ("Mergeable
// summaries", 2012): counts add (a key missing from a piece gets that
// piece's bound, since it may have had that many hits there), the union is
// cut back to the table's capacity, and the bound is the larger of the sum
// of the pieces' bounds and the cut. The merged table goes on counting as a
// summary table does.
#ifndef LOGVANE_TALLY_TABLE_MERGE_H_
#define LOGVANE_TALLY_TABLE_MERGE_H_

#include <cstring>
#include <string>
#include <vector>

#include "common/status.h"
#include "tally/tally_tables.h"

namespace logvane {

namespace merge_detail {

template <typename Table>
SummaryEntry EntryOf(const Table& t, size_t slot) {
  const auto& e = t.slots[slot];
  SummaryEntry entry{e.key.view(), e.hits, 0, 0, 0};
  if (SummaryEvicted(t.summary)) {
    entry.overcount = t.summary.overcount[slot];
    entry.byteOvercount = t.summary.byteOvercount[slot];
  }
  if constexpr (requires { e.byteSum; }) entry.bytes = e.byteSum;
  return entry;
}

template <typename Table>
int64_t SlotOfKey(const Table& t, std::string_view key) {
  size_t unused = 0;
  auto keyOf = [&t](size_t s) { return t.slots[s].key.view(); };
  return t.index.Find(key, FoldedHash(key), keyOf, &unused);
}

// Whether `from` can be added key by key: always into a table not in
// summary mode, else while both are exact and the union of their keys fits.
template <typename Table>
bool AddsInPlace(const Table& into, const Table& from) {
  constexpr size_t kCapacity = Table::kCapacity;
  const bool exact = !SummaryEvicted(into.summary) && !SummaryEvicted(from.summary);
  size_t newKeys = 0;
  if (exact) {
    for (size_t i = 0; i < from.used; ++i) {
      if (SlotOfKey(into, from.slots[i].key.view()) < 0) ++newKeys;
    }
  }
  return !into.summary.on || (exact && into.used + newKeys <= kCapacity);
}

// Adds each of `from`'s keys into `into` as counting them would.
template <typename Table>
void AddInPlace(Table& into, const Table& from) {
  constexpr size_t kCapacity = Table::kCapacity;
  if (!into.summary.on) {
    // Only what fits is added; the rest counts as dropped.
    for (size_t i = 0; i < from.used; ++i) {
      const auto& e = from.slots[i];
      if (into.used == kCapacity && SlotOfKey(into, e.key.view()) < 0) {
        into.dropped += e.hits;
        into.ranFull = true;
      }
    }
  }
  Table& target = into;
  for (size_t i = 0; i < from.used; ++i) {
    const auto& e = from.slots[i];
    const HashedKey key{e.key.view(), FoldedHash(e.key.view())};
    int64_t slot = FindOrAddKey(target, key);
    if (slot == kTableFull) continue;
    auto& entry = target.slots[slot];
    entry.hits += e.hits;
    if constexpr (requires { e.byteSum; }) entry.byteSum += e.byteSum;
    if constexpr (requires { e.isRobot; }) entry.isRobot |= e.isRobot;
  }
  target.recent = 0;
}

// A merged entry with its key copied out of the pieces.
struct KeptEntry {
  std::string key;
  SummaryEntry entry;
  int32_t robot;
};

// The merged keys point into both tables: copy them out before `into` is
// rewritten, with the robot marks of either piece.
template <typename Table>
std::vector<KeptEntry> KeptEntries(const Table& into, const Table& from,
                                   const MergedSummary& merged) {
  std::vector<KeptEntry> kept;
  kept.reserve(merged.entries.size());
  for (const SummaryEntry& entry : merged.entries) {
    KeptEntry k{std::string(entry.key), entry, 0};
    if constexpr (requires { into.slots[0].isRobot; }) {
      int64_t left = SlotOfKey(into, entry.key);
      int64_t right = SlotOfKey(from, entry.key);
      if (left >= 0) k.robot |= into.slots[left].isRobot;
      if (right >= 0) k.robot |= from.slots[right].isRobot;
    }
    kept.push_back(std::move(k));
  }
  return kept;
}

// Empties `into` and fills it with the kept entries, in their order, as a
// summary with the merged bound. `evictions` and `firstRecord` are both
// pieces', taken before `into` was emptied.
template <typename Table>
Status RewriteTable(Table& into, const std::vector<KeptEntry>& kept, const MergedSummary& merged,
                    int64_t evictions, int64_t firstRecord) {
  std::memset(static_cast<void*>(into.slots), 0, into.used * sizeof(into.slots[0]));
  into.index.Clear();
  ClearTableSummary(into.summary, into.used);
  into.used = 0;
  into.recent = 0;

  std::vector<int64_t> counts(kept.size());
  std::vector<int64_t> overcounts(kept.size());
  for (size_t i = 0; i < kept.size(); ++i) {
    const KeptEntry& k = kept[i];
    auto& entry = into.slots[i];
    size_t bucket = 0;
    auto keyOf = [&into](size_t s) { return into.slots[s].key.view(); };
    const uint64_t hash = FoldedHash(k.key);
    into.index.Find(k.key, hash, keyOf, &bucket);
    entry.key.assign(k.key);
    into.indexKeys[i].assign(k.key);
    into.index.Insert(bucket, hash, i);
    into.summary.hashOf[i] = hash;
    StartEntry(entry);
    entry.hits = k.entry.count;
    if constexpr (requires { entry.byteSum; }) entry.byteSum = k.entry.bytes;
    if constexpr (requires { entry.isRobot; }) entry.isRobot = k.robot;
    into.summary.overcount[i] = k.entry.overcount;
    into.summary.byteOvercount[i] = k.entry.byteOvercount;
    counts[i] = k.entry.count;
    overcounts[i] = k.entry.overcount;
    ++into.used;
  }
  Status status = LoadSummary(into.summary.order, counts, overcounts, merged.bound);
  if (!status.ok()) return status;
  into.summary.ordered = true;
  // A merge that cut keys is a summary from here on, as its pieces were.
  into.summary.evictions = evictions + (merged.cut > 0 ? 1 : 0);
  into.summary.firstRecord = firstRecord;
  return Status::Ok();
}

}  // namespace merge_detail

// Adds `from` (counted after `into`, by the same rules) into `into`. A
// table not in summary mode keeps its first keys and drops the others'
// hits, as counting them would. Refuses pieces whose counts do not add up
// (LoadSummary's and MergeSummaries' checks).
template <typename Table>
Status MergeTable(Table& into, const Table& from) {
  using namespace merge_detail;
  if (AddsInPlace(into, from)) {
    AddInPlace(into, from);
    return Status::Ok();
  }

  std::vector<SummaryEntry> a;
  std::vector<SummaryEntry> b;
  for (size_t i = 0; i < into.used; ++i) a.push_back(EntryOf(into, i));
  for (size_t i = 0; i < from.used; ++i) b.push_back(EntryOf(from, i));
  MergedSummary merged;
  Status status = MergeSummaries({a, SummaryBound(into.summary)}, {b, SummaryBound(from.summary)},
                                 Table::kCapacity, &merged);
  if (!status.ok()) return status;

  const std::vector<KeptEntry> kept = KeptEntries(into, from, merged);
  const int64_t evictions = into.summary.evictions + from.summary.evictions;
  const int64_t firstRecord =
      into.summary.firstRecord != 0 ? into.summary.firstRecord : from.summary.firstRecord;
  return RewriteTable(into, kept, merged, evictions, firstRecord);
}

}  // namespace logvane

#endif  // LOGVANE_TALLY_TABLE_MERGE_H_
