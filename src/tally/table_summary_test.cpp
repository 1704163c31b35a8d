#include "tally/table_summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/log_generator.h"
#include "tally/distinct_tallies.h"
#include "tally/table_merge.h"
#include "tally/tally_tables.h"

namespace logvane {
namespace {

std::unique_ptr<Tallies> SummaryTallies() {
  auto t = std::make_unique<Tallies>();
  ClearTallies(*t);
  SetCountingModes(*t, true, false);
  return t;
}

// What a table must hold against the true counts of the keys fed to it:
// every slot's hits at least its key's true hits and at most its overcount
// above them, every overcount within the bound, every key with more true
// hits than the bound in the table, the hits adding up to the records, and
// the index finding each slot's key (and only those keys).
template <typename Table>
void ExpectSummaryHolds(const Table& table, const std::unordered_map<std::string, int64_t>& truth,
                        int64_t records) {
  const int64_t bound = SummaryBound(table.summary);
  EXPECT_LE(bound, records / static_cast<int64_t>(Table::kCapacity));
  int64_t sum = 0;
  std::unordered_map<std::string, size_t> held;
  for (size_t i = 0; i < table.used; ++i) {
    const auto& entry = table.slots[i];
    std::string key(entry.key.view());
    held[key] = i;
    sum += entry.hits;
    auto it = truth.find(key);
    ASSERT_NE(it, truth.end()) << key;
    EXPECT_GE(entry.hits, it->second) << key;
    EXPECT_LE(entry.hits - table.summary.overcount[i], it->second) << key;
    EXPECT_LE(table.summary.overcount[i], bound) << key;
    EXPECT_EQ(SummaryCount(table.summary.order, i), entry.hits) << key;
  }
  EXPECT_EQ(sum, records);
  for (const auto& [key, hits] : truth) {
    if (hits > bound) {
      EXPECT_TRUE(held.count(key)) << key << " with " << hits << " hits";
    }
    auto keyOf = [&table](size_t s) { return table.slots[s].key.view(); };
    size_t unused = 0;
    HashedKey k = HashKey(key);
    int64_t slot = table.index.Find(k.text, k.hash, keyOf, &unused);
    auto it = held.find(key);
    EXPECT_EQ(slot, it == held.end() ? -1 : static_cast<int64_t>(it->second)) << key;
  }
}

TEST(TableSummaryTest, EraseKeepsEveryOtherKeyFindable) {
  // A small index with long probe runs: keys come and go at random.
  KeyIndex<64> index;
  index.Clear();
  std::vector<std::string> keys(64);
  std::vector<bool> live(64, false);
  auto keyOf = [&keys](size_t s) { return std::string_view(keys[s]); };
  auto homeOf = [&keys](size_t s) { return KeyIndex<64>::HomeOf(FoldedHash(keys[s])); };
  bench::Random random(7);
  for (int step = 0; step < 20000; ++step) {
    size_t slot = random.Below(64);
    if (live[slot]) {
      index.Erase(FoldedHash(keys[slot]), slot, homeOf);
      live[slot] = false;
    } else {
      keys[slot] = std::string("k").append(std::to_string(step));
      size_t bucket = 0;
      ASSERT_EQ(index.Find(keys[slot], FoldedHash(keys[slot]), keyOf, &bucket), -1);
      index.Insert(bucket, FoldedHash(keys[slot]), slot);
      live[slot] = true;
    }
    if (step % 97 != 0) continue;
    for (size_t s = 0; s < 64; ++s) {
      if (!live[s]) continue;
      size_t unused = 0;
      ASSERT_EQ(index.Find(keys[s], FoldedHash(keys[s]), keyOf, &unused), static_cast<int64_t>(s));
    }
  }
}

TEST(TableSummaryTest, FillsAndEmptiesTheLightestBucketAgainAndAgain) {
  auto t = SummaryTallies();
  DirectoryTable& dirs = t->directories;
  std::unordered_map<std::string, int64_t> truth;
  int64_t records = 0;
  auto count = [&](const std::string& key) {
    CountText(dirs, key);
    ++truth[key];
    ++records;
  };
  // A table that fits stays exact: no order, no eviction.
  for (int i = 0; i < 1000; ++i) count(std::string("/d").append(std::to_string(i)));
  EXPECT_FALSE(dirs.summary.ordered);
  EXPECT_FALSE(SummaryEvicted(dirs.summary));
  // Then waves of new keys, each wave as large as the table, so that every
  // wave empties the lightest bucket and makes the next; heavy keys come
  // between, written in other cases too.
  for (int wave = 0; wave < 6; ++wave) {
    for (int i = 0; i < 1000; ++i) {
      std::string key = "/w";
      key.append(std::to_string(wave)).append("/").append(std::to_string(i));
      count(key);
      if (i % 5 == 0) count(std::string("/heavy").append(std::to_string(i % 30)));
    }
    ExpectSummaryHolds(dirs, truth, records);
    EXPECT_GE(SummaryBound(dirs.summary), wave + 1);
  }
  EXPECT_EQ(dirs.dropped, 0);
  EXPECT_FALSE(dirs.ranFull);
  // Emptying forgets the summary but keeps the mode.
  ClearTallies(*t);
  EXPECT_TRUE(dirs.summary.on);
  EXPECT_FALSE(SummaryEvicted(dirs.summary));
  EXPECT_EQ(SummaryBound(dirs.summary), 0);
}

TEST(TableSummaryTest, AnEvictedUserStartsAfresh) {
  auto t = SummaryTallies();
  UserTable& users = t->users;
  for (size_t i = 0; i < kUserCapacity; ++i) {
    CountText(users, std::string("u").append(std::to_string(i)), 10);
  }
  CountText(users, "u0", 10);
  users.slots[1].isRobot = 1;
  size_t replaced = kUserCapacity;
  HashedKey newcomer = HashKey("new");
  int64_t slot = CountKey(users, newcomer, -1, 7, [&](size_t s) { replaced = s; });
  ASSERT_GE(slot, 0);
  EXPECT_EQ(replaced, static_cast<size_t>(slot));
  EXPECT_NE(slot, 0);  // u0 has two hits, every other user one
  const UserEntry& entry = users.slots[slot];
  EXPECT_EQ(entry.key.view(), "new");
  EXPECT_EQ(entry.hits, 2);
  EXPECT_EQ(entry.isRobot, 0);
  EXPECT_EQ(entry.byteSum, 17);
  EXPECT_EQ(users.summary.overcount[slot], 1);
  EXPECT_EQ(users.summary.byteOvercount[slot], 10);
  EXPECT_EQ(SummaryBound(users.summary), 1);
  // A reading thread no longer trusts a slot it found earlier.
  CloseSummary(users.summary);
  EXPECT_EQ(SharedSlotOf(users, HashKey("u0")), -1);
  EXPECT_EQ(CountKey(users, HashKey("new"), 0, 1), slot);
  EXPECT_EQ(users.slots[0].hits, 2);
}

TEST(TableSummaryTest, MergesAreExactWhileTheKeysFit) {
  // Two pieces of one log, merged, are the table of the whole log: the
  // same keys in the same first-seen order with the same counts.
  auto whole = SummaryTallies();
  auto first = SummaryTallies();
  auto second = SummaryTallies();
  for (int i = 0; i < 3000; ++i) {
    std::string key = std::string(i % 3 == 0 ? "/A" : "/a").append(std::to_string(i * 7 % 900));
    CountText(whole->directories, key);
    CountText(i < 1700 ? first->directories : second->directories, key);
    CountText(whole->users, key, i);
    CountText(i < 1700 ? first->users : second->users, key, i);
  }
  first->users.slots[3].isRobot = 1;
  whole->users.slots[3].isRobot = 1;
  ASSERT_TRUE(MergeTable(first->directories, second->directories).ok());
  ASSERT_TRUE(MergeTable(first->users, second->users).ok());
  ASSERT_EQ(first->directories.used, whole->directories.used);
  for (size_t i = 0; i < whole->directories.used; ++i) {
    EXPECT_EQ(first->directories.slots[i].key.view(), whole->directories.slots[i].key.view());
    EXPECT_EQ(first->directories.slots[i].hits, whole->directories.slots[i].hits);
    EXPECT_EQ(first->users.slots[i].byteSum, whole->users.slots[i].byteSum);
    EXPECT_EQ(first->users.slots[i].isRobot, whole->users.slots[i].isRobot);
  }
  EXPECT_FALSE(SummaryEvicted(first->directories.summary));
  // A key new to the merged table is found and counted as usual.
  EXPECT_EQ(CountText(first->directories, "/a5"), CountText(whole->directories, "/a5"));
}

// Zipf-distributed clients (2 M distinct) and pages (500 k distinct): every
// true top-50 key is held with a count within the bound, in one table and
// in three pieces merged, and the distinct counts are within three standard
// errors, merged too.
TEST(TableSummaryTest, ZipfTopKeysAndDistinctCounts) {
  constexpr size_t kClients = 2'000'000;
  constexpr size_t kPages = 500'000;
  constexpr size_t kRecords = 4'000'000;
  auto t = SummaryTallies();
  t->distinct = NewDistinctTallies();
  std::unique_ptr<Tallies> pieces[3] = {SummaryTallies(), SummaryTallies(), SummaryTallies()};
  for (auto& piece : pieces) piece->distinct = NewDistinctTallies();
  bench::Random random(23);
  bench::ZipfSampler clientZipf(kClients, 1.0);
  bench::ZipfSampler pageZipf(kPages, 0.9);
  std::vector<int64_t> clientTruth(kClients);
  std::vector<int64_t> pageTruth(kPages);
  // Half the records go to each client once, in turn, so that all 2 M
  // appear; the other half are Zipf draws. Pages are all Zipf draws but the
  // first 500 k records, which name each page once.
  for (size_t i = 0; i < kRecords; ++i) {
    size_t client = i % 2 == 0 ? i / 2 : clientZipf.Sample(random);
    size_t page = i < kPages ? i : pageZipf.Sample(random);
    ++clientTruth[client];
    ++pageTruth[page];
    const std::string clientKey = std::string("10.").append(std::to_string(client));
    const std::string pageKey = std::string("/p").append(std::to_string(page));
    HashedKey c = HashKey(clientKey);
    HashedKey p = HashKey(pageKey);
    Tallies& piece = *pieces[i * 3 / kRecords];
    for (Tallies* into : {t.get(), &piece}) {
      CountKey(into->users, c, -1, 100);
      CountKey(into->pages, p, -1, 0);
      AddDistinct(into->distinct->clients, c.hash);
    }
  }
  for (int i = 1; i < 3; ++i) {
    ASSERT_TRUE(MergeTable(pieces[0]->users, pieces[i]->users).ok());
    ASSERT_TRUE(MergeTable(pieces[0]->pages, pieces[i]->pages).ok());
    MergeDistinct(pieces[0]->distinct->clients, pieces[i]->distinct->clients);
  }
  auto expectTop = [](const auto& table, const std::vector<int64_t>& truth,
                      const std::string& prefix) -> int64_t {
    std::unordered_map<std::string, size_t> held;
    for (size_t i = 0; i < table.used; ++i) held[std::string(table.slots[i].key.view())] = i;
    std::vector<size_t> order(truth.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::partial_sort(order.begin(), order.begin() + 50, order.end(),
                      [&](size_t a, size_t b) { return truth[a] > truth[b]; });
    const int64_t bound = SummaryBound(table.summary);
    EXPECT_GT(bound, 0);
    EXPECT_LE(bound, static_cast<int64_t>(kRecords /
                                          decltype(table.slots[0].hits)(std::size(table.slots))));
    for (size_t r = 0; r < 50; ++r) {
      std::string key = std::string(prefix).append(std::to_string(order[r]));
      auto it = held.find(key);
      EXPECT_NE(it, held.end()) << "rank " << r + 1 << ": " << key;
      if (it == held.end()) continue;
      const int64_t hits = table.slots[it->second].hits;
      EXPECT_GE(hits, truth[order[r]]) << key;
      EXPECT_LE(hits - truth[order[r]], bound) << key;
      EXPECT_LE(hits - table.summary.overcount[it->second], truth[order[r]]) << key;
    }
    return bound;
  };
  RecordProperty("user_bound", std::to_string(expectTop(t->users, clientTruth, "10.")));
  RecordProperty("page_bound", std::to_string(expectTop(t->pages, pageTruth, "/p")));
  RecordProperty("merged_user_bound",
                 std::to_string(expectTop(pieces[0]->users, clientTruth, "10.")));
  RecordProperty("merged_page_bound", std::to_string(expectTop(pieces[0]->pages, pageTruth, "/p")));
  for (Tallies* counted : {t.get(), pieces[0].get()}) {
    const double estimate = DistinctEstimate(counted->distinct->clients);
    EXPECT_NEAR(estimate, kClients, 3 * kDistinctStandardError * kClients);
    RecordProperty("distinct_error", std::to_string(estimate / kClients - 1));
  }
  // The merged table goes on counting: a new key starts from the bound.
  Tallies& merged = *pieces[0];
  const int64_t bound = SummaryBound(merged.users.summary);
  if (merged.users.used < kUserCapacity) {
    int64_t slot = CountText(merged.users, "newcomer");
    EXPECT_EQ(merged.users.slots[slot].hits, bound + 1);
  }
}

}  // namespace
}  // namespace logvane
