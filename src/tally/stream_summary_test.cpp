#include "tally/stream_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace logvane {
namespace {

// A table of C keys over a summary, as the tally tables will keep one: the
// test owns the keys, the summary the order.
template <size_t C>
struct SummarizedTable {
  std::unique_ptr<StreamSummary<C>> summary = std::make_unique<StreamSummary<C>>();
  std::vector<std::string> keys;  // by slot
  std::unordered_map<std::string, size_t> slotOf;
  int64_t records = 0;

  void Count(const std::string& key) {
    ++records;
    auto found = slotOf.find(key);
    if (found != slotOf.end()) {
      SummaryIncrement(*summary, found->second);
      return;
    }
    size_t slot;
    if (keys.size() < C) {
      slot = keys.size();
      keys.push_back(key);
      SummaryTake(*summary, slot);
    } else {
      slot = SummaryEvict(*summary);
      slotOf.erase(keys[slot]);
      keys[slot] = key;
    }
    slotOf[key] = slot;
  }

  std::vector<SummaryEntry> Entries() const {
    std::vector<SummaryEntry> out;
    for (size_t s = 0; s < keys.size(); ++s) {
      out.push_back({keys[s], SummaryCount(*summary, s), SummaryOvercount(*summary, s)});
    }
    return out;
  }
};

// The buckets ascend, each slot sits in the bucket it names, every counted
// slot is in one, and the smallest is the least count of any slot.
template <size_t C>
void ExpectConsistent(const StreamSummary<C>& s) {
  size_t seen = 0;
  int64_t previous = -1;
  int64_t least = INT64_MAX;
  for (uint32_t b = s.smallest, before = 0; b != 0; before = b, b = s.buckets[b - 1].next) {
    const auto& bucket = s.buckets[b - 1];
    ASSERT_EQ(bucket.prev, before);
    ASSERT_GT(bucket.count, previous);
    ASSERT_NE(bucket.first, 0u);
    previous = bucket.count;
    for (uint32_t slot = bucket.first, prior = 0; slot != 0;
         prior = slot, slot = s.slots[slot - 1].next) {
      ASSERT_EQ(s.slots[slot - 1].bucket, b);
      ASSERT_EQ(s.slots[slot - 1].prev, prior);
      ++seen;
    }
  }
  ASSERT_EQ(seen, s.used);
  for (size_t slot = 0; slot < s.used; ++slot) least = std::min(least, SummaryCount(s, slot));
  if (s.used != 0) {
    ASSERT_EQ(SummaryMinCount(s), least);
  }
}

// What a summary promises against the true counts: every key with more
// than `bound` hits is listed; a listed count is an upper bound, at most
// its overcount (itself at most `bound`) above the truth.
void ExpectGuarantee(const std::vector<SummaryEntry>& entries, int64_t bound,
                     const std::unordered_map<std::string, int64_t>& truth) {
  std::unordered_map<std::string, const SummaryEntry*> listed;
  for (const SummaryEntry& e : entries) listed[std::string(e.key)] = &e;
  for (const auto& [key, hits] : truth) {
    auto found = listed.find(key);
    if (found == listed.end()) {
      EXPECT_LE(hits, bound) << key << " is missing";
      continue;
    }
    const SummaryEntry& e = *found->second;
    EXPECT_GE(e.count, hits) << key;
    EXPECT_LE(e.count - e.overcount, hits) << key;
    EXPECT_LE(e.overcount, bound) << key;
  }
}

std::vector<std::string> ZipfStream(size_t n, size_t universe, double exponent, uint64_t seed) {
  std::vector<double> weights(universe);
  for (size_t i = 0; i < universe; ++i)
    weights[i] = 1 / std::pow(static_cast<double>(i + 1), exponent);
  std::discrete_distribution<size_t> zipf(weights.begin(), weights.end());
  std::mt19937_64 random(seed);
  std::vector<std::string> names(universe);
  for (size_t i = 0; i < universe; ++i) names[i] = "/page/" + std::to_string(i * 7919 % universe);
  std::vector<std::string> stream(n);
  for (auto& key : stream) key = names[zipf(random)];
  return stream;
}

TEST(StreamSummaryTest, KeepsEveryHeavyKeyOnAZipfStream) {
  constexpr size_t kSlots = 400;
  for (double exponent : {0.8, 1.1}) {
    SCOPED_TRACE(exponent);
    std::vector<std::string> stream = ZipfStream(400000, 100000, exponent, 11);
    SummarizedTable<kSlots> table;
    std::unordered_map<std::string, int64_t> truth;
    for (const std::string& key : stream) {
      table.Count(key);
      ++truth[key];
    }
    ExpectConsistent(*table.summary);
    int64_t n = static_cast<int64_t>(stream.size());
    int64_t bound = table.summary->bound;
    EXPECT_LE(bound, n / static_cast<int64_t>(kSlots));
    EXPECT_EQ(bound, SummaryMinCount(*table.summary));
    RecordProperty("bound_at_exponent_" + std::to_string(exponent), std::to_string(bound));
    ExpectGuarantee(table.Entries(), bound, truth);
    int64_t sum = 0;
    for (size_t s = 0; s < kSlots; ++s) sum += SummaryCount(*table.summary, s);
    EXPECT_EQ(sum, n);  // each record adds one to one count
  }
}

// Three slots for six keys: almost every record moves the smallest bucket,
// empties it or makes a new one.
TEST(StreamSummaryTest, MinimumBucketFillsAndEmptiesRepeatedly) {
  std::mt19937 random(5);
  SummarizedTable<3> table;
  std::unordered_map<std::string, int64_t> truth;
  const char* keys[] = {"a", "b", "c", "d", "e", "f"};
  for (int step = 0; step < 20000; ++step) {
    // Runs of one key now and then, so that buckets also stretch apart.
    std::string key = keys[random() % 6];
    int repeat = random() % 8 == 0 ? 1 + static_cast<int>(random() % 5) : 1;
    for (int r = 0; r < repeat; ++r) {
      table.Count(key);
      ++truth[key];
    }
    ExpectConsistent(*table.summary);
    if (HasFatalFailure()) return;
  }
  ExpectGuarantee(table.Entries(), table.summary->bound, truth);
  EXPECT_LE(table.summary->bound, table.records / 3);
  // Emptied and counted again from the start.
  ClearSummary(*table.summary);
  SummarizedTable<3> fresh;
  fresh.summary = std::move(table.summary);
  fresh.Count("x");
  fresh.Count("x");
  EXPECT_EQ(SummaryCount(*fresh.summary, 0), 2);
  EXPECT_EQ(fresh.summary->bound, 0);
  ExpectConsistent(*fresh.summary);
}

std::unordered_map<std::string, int64_t> Counted(std::span<const std::string> records) {
  std::unordered_map<std::string, int64_t> truth;
  for (const auto& key : records) ++truth[key];
  return truth;
}

TEST(StreamSummaryTest, MergeOfExactPiecesThatFitIsTheExactMerge) {
  std::vector<SummaryEntry> a = {{"/a", 5, 0, 500, 0}, {"/B", 3, 0, 30, 0}, {"/c", 1, 0, 1, 0}};
  std::vector<SummaryEntry> b = {{"/b", 4, 0, 40, 0}, {"/d", 2, 0, 2, 0}, {"/a", 1, 0, 100, 0}};
  MergedSummary merged;
  ASSERT_TRUE(MergeSummaries({a, 0}, {b, 0}, 4, &merged).ok());
  EXPECT_EQ(merged.bound, 0);
  EXPECT_EQ(merged.cut, 0);
  ASSERT_EQ(merged.entries.size(), 4u);
  std::vector<std::pair<std::string, int64_t>> got;
  for (const auto& e : merged.entries) got.emplace_back(e.key, e.count);
  std::vector<std::pair<std::string, int64_t>> want = {{"/B", 7}, {"/a", 6}, {"/d", 2}, {"/c", 1}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(merged.entries[0].bytes, 70);
  EXPECT_EQ(merged.entries[1].bytes, 600);
  // One slot short: the smallest goes, and its count is the cut.
  ASSERT_TRUE(MergeSummaries({a, 0}, {b, 0}, 3, &merged).ok());
  EXPECT_EQ(merged.entries.size(), 3u);
  EXPECT_EQ(merged.cut, 1);
  EXPECT_EQ(merged.bound, 1);
}

// A key that one piece dropped may have had up to that piece's bound there:
// the merged count says so, so that it stays an upper bound.
TEST(StreamSummaryTest, MergeCountsAKeyMissingFromAPieceAtThatPiecesBound) {
  std::vector<SummaryEntry> exact = {{"/x", 10, 0, 1000, 0}};
  std::vector<SummaryEntry> evicted = {{"/y", 9, 3, 90, 30}, {"/z", 4, 0, 40, 0}};
  MergedSummary merged;
  ASSERT_TRUE(MergeSummaries({exact, 0}, {evicted, 3}, 3, &merged).ok());
  ASSERT_EQ(merged.entries.size(), 3u);
  EXPECT_EQ(merged.entries[0].key, "/x");
  EXPECT_EQ(merged.entries[0].count, 13);
  EXPECT_EQ(merged.entries[0].overcount, 3);
  EXPECT_EQ(merged.entries[0].bytes, 1000);  // bytes have no bound to add
  EXPECT_EQ(merged.entries[1].count, 9);     // the exact piece lacks it for sure
  EXPECT_EQ(merged.entries[1].overcount, 3);
  EXPECT_EQ(merged.entries[1].byteOvercount, 30);
  EXPECT_EQ(merged.bound, 3);
  EXPECT_EQ(merged.cut, 0);
}

// Two halves of a stream summarised apart and merged, then loaded into a
// table that reads a third part: every step keeps the guarantee for all the
// records so far.
TEST(StreamSummaryTest, MergedAndContinuedSummariesKeepTheirBound) {
  constexpr size_t kSlots = 500;
  std::vector<std::string> stream = ZipfStream(600000, 100000, 1.0, 23);
  std::span<const std::string> all(stream);
  SummarizedTable<kSlots> first;
  SummarizedTable<kSlots> second;
  for (const auto& key : all.subspan(0, 250000)) first.Count(key);
  for (const auto& key : all.subspan(250000, 250000)) second.Count(key);
  std::vector<SummaryEntry> a = first.Entries();
  std::vector<SummaryEntry> b = second.Entries();
  MergedSummary merged;
  ASSERT_TRUE(
      MergeSummaries({a, first.summary->bound}, {b, second.summary->bound}, kSlots, &merged).ok());
  ASSERT_EQ(merged.entries.size(), kSlots);
  EXPECT_GT(merged.cut, 0);
  EXPECT_EQ(merged.bound, std::max(merged.cut, first.summary->bound + second.summary->bound));
  ExpectGuarantee(merged.entries, merged.bound, Counted(all.subspan(0, 500000)));
  RecordProperty("merged_bound", std::to_string(merged.bound));
  RecordProperty("records_per_slot", std::to_string(500000 / kSlots));

  SummarizedTable<kSlots> continued;
  std::vector<int64_t> counts;
  std::vector<int64_t> overcounts;
  // Fewer keys than slots, so that new keys also take free slots.
  for (size_t i = 0; i + 50 < merged.entries.size(); ++i) {
    const SummaryEntry& e = merged.entries[i];
    continued.keys.emplace_back(e.key);
    continued.slotOf[std::string(e.key)] = i;
    counts.push_back(e.count);
    overcounts.push_back(e.overcount);
  }
  int64_t loadBound = merged.entries[kSlots - 50].count;  // what dropping the last 50 cuts
  ASSERT_TRUE(LoadSummary(*continued.summary, counts, overcounts, loadBound).ok());
  ExpectConsistent(*continued.summary);
  for (const auto& key : all.subspan(500000)) continued.Count(key);
  ExpectConsistent(*continued.summary);
  ExpectGuarantee(continued.Entries(), continued.summary->bound, Counted(all));

  std::vector<int64_t> low = {loadBound - 1};
  std::vector<int64_t> none = {0};
  EXPECT_FALSE(LoadSummary(*continued.summary, low, none, loadBound).ok());
  std::vector<int64_t> whole = {3};
  std::vector<int64_t> allInherited = {3};
  EXPECT_FALSE(LoadSummary(*continued.summary, whole, allInherited, 0).ok());
}

TEST(StreamSummaryTest, MergeRefusesWhatNoSummaryHolds) {
  std::vector<SummaryEntry> good = {{"/a", 2, 1}};
  std::vector<SummaryEntry> twice = {{"/a", 2, 0}, {"/A", 1, 0}};
  std::vector<SummaryEntry> inherited = {{"/a", 2, 2}};
  std::vector<SummaryEntry> three = {{"/a", 1, 0}, {"/b", 1, 0}, {"/c", 1, 0}};
  MergedSummary merged;
  EXPECT_FALSE(MergeSummaries({twice, 0}, {good, 0}, 5, &merged).ok());
  EXPECT_FALSE(MergeSummaries({good, 0}, {inherited, 0}, 5, &merged).ok());
  Status tooMany = MergeSummaries({good, 0}, {three, 0}, 2, &merged);
  EXPECT_FALSE(tooMany.ok());
  EXPECT_EQ(tooMany.ToString(), "the second summary has 3 keys, more than the 2 it can hold");
  EXPECT_FALSE(MergeSummaries({good, -1}, {good, 0}, 5, &merged).ok());
  EXPECT_FALSE(MergeSummaries({good, INT64_MAX}, {three, 0}, 5, &merged).ok());
}

}  // namespace
}  // namespace logvane
