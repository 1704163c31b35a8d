// The order by hits of a table's slots, kept so that a table that runs full
// can keep its heavy keys: the stream-summary of Space-Saving (Metwally,
// Agrawal and El Abbadi, 2005). Slots sit in buckets of equal count, the
// buckets in a list by ascending count, so that counting a record for a
// slot, finding the slot with the fewest hits and handing that slot to a
// new key each cost a few steps whatever the table holds.
//
// The summary does not own keys: the table keeps keys (and its index), hits
// and byte sums; the summary keeps each slot's count, the order, and the
// count each slot inherited (its overcount). When a new key finds the table
// full, SummaryEvict names the slot to give it: the table replaces that
// slot's key (and its index entry), and the key's count is the slot's old
// count plus one, of which the old count is overcount.
//
// Guarantee for a table of C slots after N records: every key with more
// than bound() <= N/C hits holds a slot; a slot's count is at least its
// key's true count and at most its overcount (<= bound()) above it.
//
// Plain data, fixed in size (48 bytes a slot), all zero when empty; nothing
// is allocated after construction.
#ifndef LOGVANE_TALLY_STREAM_SUMMARY_H_
#define LOGVANE_TALLY_STREAM_SUMMARY_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "common/status.h"

namespace logvane {

template <size_t Capacity>
struct StreamSummary {
  static_assert(Capacity > 0 && Capacity < UINT32_MAX);
  static constexpr size_t kCapacity = Capacity;

  // Links are numbers plus one; 0 is none.
  struct Slot {
    uint32_t prev;  // slots of the same bucket
    uint32_t next;
    uint32_t bucket;  // 0 while the slot is not counted
    int64_t overcount;
  };
  struct Bucket {
    int64_t count;
    uint32_t first;  // its first slot
    uint32_t prev;   // the buckets of next lower and next higher count
    uint32_t next;
  };

  Slot slots[Capacity];
  Bucket buckets[Capacity];  // each in use holds a slot, so Capacity suffice
  uint32_t smallest;         // the bucket of fewest hits
  uint32_t freeBuckets;      // buckets given back, linked by `next`
  uint32_t bucketsMade;      // buckets[0 .. bucketsMade-1] were ever used
  uint32_t used;             // slots counted
  // No key outside the summary has more true hits than this: the count a
  // slot last inherited, or the bound of the merge it was loaded from.
  int64_t bound;
};

namespace summary_detail {

template <size_t C>
uint32_t NewBucket(StreamSummary<C>& s, int64_t count, uint32_t after) {
  uint32_t b = s.freeBuckets;
  if (b != 0) {
    s.freeBuckets = s.buckets[b - 1].next;
  } else {
    b = ++s.bucketsMade;
  }
  auto& bucket = s.buckets[b - 1];
  bucket.count = count;
  bucket.first = 0;
  bucket.prev = after;
  bucket.next = after != 0 ? s.buckets[after - 1].next : s.smallest;
  if (bucket.next != 0) s.buckets[bucket.next - 1].prev = b;
  if (after != 0) {
    s.buckets[after - 1].next = b;
  } else {
    s.smallest = b;
  }
  return b;
}

template <size_t C>
void DropBucket(StreamSummary<C>& s, uint32_t b) {
  auto& bucket = s.buckets[b - 1];
  if (bucket.prev != 0) {
    s.buckets[bucket.prev - 1].next = bucket.next;
  } else {
    s.smallest = bucket.next;
  }
  if (bucket.next != 0) s.buckets[bucket.next - 1].prev = bucket.prev;
  bucket.next = s.freeBuckets;
  s.freeBuckets = b;
}

template <size_t C>
void Push(StreamSummary<C>& s, size_t slot, uint32_t b) {
  auto& entry = s.slots[slot];
  auto& bucket = s.buckets[b - 1];
  entry.bucket = b;
  entry.prev = 0;
  entry.next = bucket.first;
  if (bucket.first != 0) s.slots[bucket.first - 1].prev = static_cast<uint32_t>(slot + 1);
  bucket.first = static_cast<uint32_t>(slot + 1);
}

template <size_t C>
void Unlink(StreamSummary<C>& s, size_t slot) {
  auto& entry = s.slots[slot];
  auto& bucket = s.buckets[entry.bucket - 1];
  if (entry.prev != 0) {
    s.slots[entry.prev - 1].next = entry.next;
  } else {
    bucket.first = entry.next;
  }
  if (entry.next != 0) s.slots[entry.next - 1].prev = entry.prev;
}

// Moves `slot` to the bucket of `count`: its bucket's count plus one, or
// for a slot not yet counted bound + 1, where every count is at least bound
// so that bucket is the first or the second.
template <size_t C>
void MoveUp(StreamSummary<C>& s, size_t slot, int64_t count) {
  uint32_t from = s.slots[slot].bucket;
  uint32_t after = from;  // the bucket that the target follows
  uint32_t target = from != 0 ? s.buckets[from - 1].next : s.smallest;
  if (from == 0 && target != 0 && s.buckets[target - 1].count < count) {
    after = target;
    target = s.buckets[target - 1].next;
  }
  if (target == 0 || s.buckets[target - 1].count != count) target = NewBucket(s, count, after);
  if (from != 0) {
    Unlink(s, slot);
    if (s.buckets[from - 1].first == 0) DropBucket(s, from);
  }
  Push(s, slot, target);
}

}  // namespace summary_detail

// Empties the summary; only the parts ever used are written.
template <size_t C>
void ClearSummary(StreamSummary<C>& s) {
  if (s.used != 0) std::memset(static_cast<void*>(s.slots), 0, s.used * sizeof(s.slots[0]));
  if (s.bucketsMade != 0) {
    std::memset(static_cast<void*>(s.buckets), 0, s.bucketsMade * sizeof(s.buckets[0]));
  }
  s.smallest = s.freeBuckets = s.bucketsMade = s.used = 0;
  s.bound = 0;
}

// Counts the first record of a key in a slot not yet counted (the table had
// room): its count is bound + 1, of which bound is overcount (both 1 and 0
// unless the summary was loaded from a merge that cut keys).
template <size_t C>
void SummaryTake(StreamSummary<C>& s, size_t slot) {
  s.slots[slot].overcount = s.bound;
  summary_detail::MoveUp(s, slot, s.bound + 1);
  ++s.used;
}

// Counts one more record for a counted slot.
template <size_t C>
void SummaryIncrement(StreamSummary<C>& s, size_t slot) {
  using namespace summary_detail;
  uint32_t b = s.slots[slot].bucket;
  auto& bucket = s.buckets[b - 1];
  // Alone in its bucket, with no bucket of the next count: the bucket
  // itself moves up.
  if (bucket.first == slot + 1 && s.slots[slot].next == 0 &&
      (bucket.next == 0 || s.buckets[bucket.next - 1].count != bucket.count + 1)) {
    ++bucket.count;
    return;
  }
  MoveUp(s, slot, bucket.count + 1);
}

// The slot of fewest hits, handed to a new key whose first record it
// counts: its count grows by one and its overcount becomes its old count.
// Only for a summary whose every slot is counted.
template <size_t C>
size_t SummaryEvict(StreamSummary<C>& s) {
  const auto& lowest = s.buckets[s.smallest - 1];
  size_t slot = lowest.first - 1;
  s.slots[slot].overcount = lowest.count;
  if (lowest.count > s.bound) s.bound = lowest.count;
  SummaryIncrement(s, slot);
  return slot;
}

template <size_t C>
int64_t SummaryCount(const StreamSummary<C>& s, size_t slot) {
  uint32_t b = s.slots[slot].bucket;
  return b != 0 ? s.buckets[b - 1].count : 0;
}

template <size_t C>
int64_t SummaryOvercount(const StreamSummary<C>& s, size_t slot) {
  return s.slots[slot].overcount;
}

// The fewest hits of a counted slot; 0 when none is.
template <size_t C>
int64_t SummaryMinCount(const StreamSummary<C>& s) {
  return s.smallest != 0 ? s.buckets[s.smallest - 1].count : 0;
}

// ---- Merging summaries: the rule of Agarwal et al. ("Mergeable
// summaries", 2012) for Space-Saving.

// One key of a summary: its count, the part of it that may not be the
// key's (overcount), and its byte sum with the part of that inherited.
struct SummaryEntry {
  std::string_view key;
  int64_t count = 0;
  int64_t overcount = 0;
  double bytes = 0;
  double byteOvercount = 0;
};

// A summary's keys and its bound: no key outside it has more true hits
// than the bound (0 for a summary that never dropped a key: it is exact).
struct SummaryView {
  std::span<const SummaryEntry> entries;
  int64_t bound = 0;
};

struct MergedSummary {
  std::vector<SummaryEntry> entries;  // by count, highest first; keys point into the pieces
  int64_t bound = 0;
  int64_t cut = 0;  // the (capacity+1)-th largest count after adding; 0 when all fit
};

// Merges two summaries of at most `capacity` keys each into one of at most
// `capacity`. Keys that fold equal (A-Z as a-z) are one key, spelled as in
// `a` where it has it. A key in both gets the sum of counts and of
// overcounts; a key missing from one piece gets that piece's bound added to
// its count and its overcount (its true hits there are at most the bound),
// so every count stays an upper bound. The union is then cut back to the
// `capacity` largest counts (ties by key); the cut is the largest count
// dropped, and the result's bound is the larger of the cut and the sum of
// the pieces' bounds: at most that sum plus the cut of the plain sums.
// With two exact pieces whose union fits, the result is the exact merge.
// A piece with more than `capacity` keys, a key twice or a count that is
// not above its overcount is refused.
Status MergeSummaries(const SummaryView& a, const SummaryView& b, size_t capacity,
                      MergedSummary* out);

// The order for loading a merged summary: the slots of `counts` (each with
// its overcount) sorted by count, so that the summary can be rebuilt from
// the lowest up without a search.
std::vector<uint32_t> SlotsByCount(std::span<const int64_t> counts);

// Rebuilds `s` from the counts and overcounts of slots 0 .. n-1 (a table
// loaded from a merged summary) with the merge's bound. Refuses counts below
// the bound or not above their overcount, or more slots than the summary
// has.
template <size_t C>
Status LoadSummary(StreamSummary<C>& s, std::span<const int64_t> counts,
                   std::span<const int64_t> overcounts, int64_t bound) {
  if (counts.size() > C || overcounts.size() != counts.size()) {
    return Status::Invalid({}, {}, "more keys than the table has slots");
  }
  for (size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] < bound || overcounts[i] < 0 || overcounts[i] >= counts[i]) {
      return Status::Invalid({}, {}, "a count below the bound or not above its overcount");
    }
  }
  ClearSummary(s);
  s.bound = bound;
  uint32_t highest = 0;
  for (uint32_t slot : SlotsByCount(counts)) {
    if (highest == 0 || s.buckets[highest - 1].count != counts[slot]) {
      highest = summary_detail::NewBucket(s, counts[slot], highest);
    }
    summary_detail::Push(s, slot, highest);
    s.slots[slot].overcount = overcounts[slot];
    ++s.used;
  }
  return Status::Ok();
}

}  // namespace logvane

#endif  // LOGVANE_TALLY_STREAM_SUMMARY_H_
