#include "tally/stream_summary.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// Byte order with A-Z read as a-z, so that keys that are one entry in a
// table sort together.
int CompareFolded(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(FoldChar(a[i]));
    unsigned char y = static_cast<unsigned char>(FoldChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The piece's entries by folded key, after checking what a summary of
// `capacity` keys can hold.
Status SortedPiece(const SummaryView& piece, size_t capacity, const char* name,
                   std::vector<const SummaryEntry*>* sorted) {
  std::string which = std::string("the ") + name + " summary";
  if (piece.entries.size() > capacity) {
    return Status::Invalid({}, {},
                           which + " has " + std::to_string(piece.entries.size()) +
                               " keys, more than the " + std::to_string(capacity) + " it can hold");
  }
  if (piece.bound < 0) return Status::Invalid({}, {}, which + " has a negative bound");
  sorted->clear();
  for (const SummaryEntry& e : piece.entries) {
    if (e.count < 1 || e.overcount < 0 || e.overcount >= e.count) {
      return Status::Invalid({}, {},
                             which + " has a count of " + std::to_string(e.count) +
                                 " with an overcount of " + std::to_string(e.overcount));
    }
    sorted->push_back(&e);
  }
  std::sort(sorted->begin(), sorted->end(), [](const SummaryEntry* x, const SummaryEntry* y) {
    return CompareFolded(x->key, y->key) < 0;
  });
  for (size_t i = 1; i < sorted->size(); ++i) {
    if (CompareFolded((*sorted)[i - 1]->key, (*sorted)[i]->key) == 0) {
      return Status::Invalid({}, {}, which + " holds a key twice");
    }
  }
  return Status::Ok();
}

// `entry` with `fill` more hits, all of them possibly another key's.
bool AddFill(SummaryEntry* entry, int64_t fill) {
  return !__builtin_add_overflow(entry->count, fill, &entry->count) &&
         !__builtin_add_overflow(entry->overcount, fill, &entry->overcount);
}

}  // namespace

Status MergeSummaries(const SummaryView& a, const SummaryView& b, size_t capacity,
                      MergedSummary* out) {
  std::vector<const SummaryEntry*> left;
  std::vector<const SummaryEntry*> right;
  Status status = SortedPiece(a, capacity, "first", &left);
  if (!status.ok()) return status;
  status = SortedPiece(b, capacity, "second", &right);
  if (!status.ok()) return status;

  std::vector<SummaryEntry> merged;
  merged.reserve(left.size() + right.size());
  bool fits = true;
  size_t i = 0;
  size_t j = 0;
  while (i < left.size() || j < right.size()) {
    int order = i == left.size()    ? 1
                : j == right.size() ? -1
                                    : CompareFolded(left[i]->key, right[j]->key);
    SummaryEntry entry;
    if (order < 0) {
      entry = *left[i++];
      fits = fits && AddFill(&entry, b.bound);
    } else if (order > 0) {
      entry = *right[j++];
      fits = fits && AddFill(&entry, a.bound);
    } else {
      entry = *left[i++];
      const SummaryEntry& other = *right[j++];
      fits = fits && !__builtin_add_overflow(entry.count, other.count, &entry.count) &&
             !__builtin_add_overflow(entry.overcount, other.overcount, &entry.overcount);
      entry.bytes += other.bytes;
      entry.byteOvercount += other.byteOvercount;
    }
    merged.push_back(entry);
  }
  int64_t bounds = 0;
  if (!fits || __builtin_add_overflow(a.bound, b.bound, &bounds)) {
    return Status::Invalid({}, {}, "the merged counts are too large");
  }

  std::sort(merged.begin(), merged.end(), [](const SummaryEntry& x, const SummaryEntry& y) {
    if (x.count != y.count) return x.count > y.count;
    return CompareFolded(x.key, y.key) < 0;
  });
  out->cut = 0;
  if (merged.size() > capacity) {
    out->cut = merged[capacity].count;
    merged.resize(capacity);
  }
  out->bound = std::max(bounds, out->cut);
  out->entries = std::move(merged);
  return Status::Ok();
}

std::vector<uint32_t> SlotsByCount(std::span<const int64_t> counts) {
  std::vector<uint32_t> order(counts.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&counts](uint32_t x, uint32_t y) { return counts[x] < counts[y]; });
  return order;
}

}  // namespace logvane
