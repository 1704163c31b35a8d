#include "tally/distinct_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tally/key_index.h"

namespace logvane {
namespace {

// Client addresses as the reading phase hashes them.
uint64_t ClientHash(uint32_t n) {
  std::string address = std::to_string(10 + (n >> 24)) + "." + std::to_string((n >> 16) & 255) +
                        "." + std::to_string((n >> 8) & 255) + "." + std::to_string(n & 255);
  return FoldedHash(address);
}

std::unique_ptr<DistinctCount> Counter() { return std::make_unique<DistinctCount>(); }

TEST(DistinctCountTest, ExactUpToTheSwitch) {
  for (uint32_t n : {0u, 1u, 2u, 100u, kDistinctExactLimit - 1, kDistinctExactLimit}) {
    auto counter = Counter();
    for (int round = 0; round < 3; ++round) {  // every key three times
      for (uint32_t i = 0; i < n; ++i) AddDistinct(*counter, ClientHash(i));
    }
    EXPECT_TRUE(DistinctIsExact(*counter)) << n;
    EXPECT_EQ(DistinctEstimate(*counter), n);
  }
  // The hash 0 is a hash like another, in both forms.
  auto counter = Counter();
  AddDistinct(*counter, 0);
  AddDistinct(*counter, 0);
  AddDistinct(*counter, 5);
  EXPECT_EQ(DistinctEstimate(*counter), 2);
  for (uint32_t i = 0; i < kDistinctExactLimit; ++i) AddDistinct(*counter, ClientHash(i));
  EXPECT_FALSE(DistinctIsExact(*counter));
  auto registers = Counter();
  MergeDistinct(*registers, *counter);
  AddDistinct(*registers, 0);  // already there: no change
  EXPECT_TRUE(SameDistinct(*registers, *counter));
}

TEST(DistinctCountTest, EstimatesWithinThreeStandardErrors) {
  auto counter = Counter();
  uint32_t added = 0;
  for (uint32_t n : {2000u, 10000u, 100000u, 1000000u}) {
    for (; added < n; ++added) AddDistinct(*counter, ClientHash(added * 2654435761u));
    double error = DistinctEstimate(*counter) / n - 1;
    EXPECT_LE(std::abs(error), 3 * kDistinctStandardError) << n;
    RecordProperty("error_at_" + std::to_string(n), std::to_string(error));
  }
}

TEST(DistinctCountTest, PairsOfHashesCountAsPairs) {
  EXPECT_NE(CombineHashes(1, 2), CombineHashes(2, 1));
  EXPECT_NE(CombineHashes(0, 0), 0u);
  auto visitors = Counter();
  // 400 clients with 25 agents each, every pair twice: 10,000 visitors.
  for (int round = 0; round < 2; ++round) {
    for (uint32_t client = 0; client < 400; ++client) {
      for (uint32_t agent = 0; agent < 25; ++agent) {
        std::string ua = "Mozilla/5.0 (agent " + std::to_string(agent) + ")";
        AddDistinct(*visitors, CombineHashes(ClientHash(client), FoldedHash(ua)));
      }
    }
  }
  EXPECT_NEAR(DistinctEstimate(*visitors), 10000, 10000 * 3 * kDistinctStandardError);
}

// The counter of a set, however it is split and merged or ordered.
TEST(DistinctCountTest, MergeIsTheCounterOfTheUnion) {
  struct Case {
    const char* name;
    uint32_t first;   // keys 0 .. first-1 go to a
    uint32_t second;  // keys overlapStart .. second-1 go to b
    uint32_t overlapStart;
  };
  const Case cases[] = {
      {"both exact, union fits", 800, 1400, 500},
      {"both exact, union does not fit", 1200, 2400, 1000},
      {"exact into registers", 300, 50000, 0},
      {"registers into exact", 50000, 50300, 49000},
      {"both registers", 60000, 120000, 30000},
      {"one empty", 0, 700, 0},
  };
  std::mt19937 random(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint64_t> all;
    for (uint32_t i = 0; i < std::max(c.first, c.second); ++i) all.push_back(ClientHash(i));
    auto a = Counter();
    auto b = Counter();
    auto whole = Counter();
    for (uint32_t i = 0; i < c.first; ++i) AddDistinct(*a, all[i]);
    for (uint32_t i = c.overlapStart; i < c.second; ++i) AddDistinct(*b, all[i]);
    for (uint64_t h : all) AddDistinct(*whole, h);
    auto ab = Counter();
    MergeDistinct(*ab, *a);
    MergeDistinct(*ab, *b);
    auto ba = Counter();
    MergeDistinct(*ba, *b);
    MergeDistinct(*ba, *a);
    EXPECT_TRUE(SameDistinct(*ab, *whole));
    EXPECT_TRUE(SameDistinct(*ba, *whole));
    EXPECT_EQ(DistinctEstimate(*ab), DistinctEstimate(*whole));
    if (all.size() <= kDistinctExactLimit) {
      EXPECT_EQ(DistinctEstimate(*ab), all.size());
    }
    std::shuffle(all.begin(), all.end(), random);
    auto shuffled = Counter();
    for (uint64_t h : all) AddDistinct(*shuffled, h);
    EXPECT_TRUE(SameDistinct(*shuffled, *whole));
  }
  auto one = Counter();
  auto other = Counter();
  AddDistinct(*one, 1);
  AddDistinct(*other, 2);
  EXPECT_FALSE(SameDistinct(*one, *other));
}

}  // namespace
}  // namespace logvane
