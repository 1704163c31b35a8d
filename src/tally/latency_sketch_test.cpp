#include "tally/latency_sketch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace logvane {
namespace {

constexpr double kQuantiles[] = {0, 0.001, 0.01, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95, 0.99, 0.999, 1};

double Exact(const std::vector<uint64_t>& sorted, double q) {
  return static_cast<double>(
      sorted[static_cast<size_t>(q * static_cast<double>(sorted.size() - 1))]);
}

// A name for RecordProperty: the measured errors land in --gtest_output.
std::string PropertyName(std::string prefix, std::string_view name) {
  for (char c : name) prefix += c == ' ' || c == '-' ? '_' : c;
  return prefix;
}

struct Values {
  const char* name;
  std::function<std::vector<uint64_t>()> make;
};

std::vector<uint64_t> Draw(size_t n, std::function<double(std::mt19937_64&)> draw) {
  std::mt19937_64 random(20250101);
  std::vector<uint64_t> values(n);
  for (auto& v : values) v = static_cast<uint64_t>(std::min(draw(random), 1e11));
  return values;
}

std::vector<Values> AllValues() {
  return {
      {"uniform",
       [] {
         return Draw(200000, [](std::mt19937_64& r) {
           return std::uniform_real_distribution<double>(1, 2e6)(r);
         });
       }},
      {"log-normal",
       [] {
         // Median 50 ms, most between 1 ms and 2.5 s.
         return Draw(200000, [](std::mt19937_64& r) {
           return std::lognormal_distribution<double>(std::log(50000.0), 1.5)(r);
         });
       }},
      {"heavy-tailed",
       [] {
         // Pareto with shape 1.1 from 200 us: a tail reaching hours.
         return Draw(200000, [](std::mt19937_64& r) {
           double u = std::uniform_real_distribution<double>(0, 1)(r);
           return 200.0 / std::pow(1 - u, 1 / 1.1);
         });
       }},
      {"small integers",
       [] {
         return Draw(50000, [](std::mt19937_64& r) {
           return static_cast<double>(std::uniform_int_distribution<int>(0, 300)(r));
         });
       }},
      {"single", [] { return std::vector<uint64_t>{123456}; }},
      {"all equal", [] { return std::vector<uint64_t>(1000, 4321987); }},
      {"zeros", [] { return std::vector<uint64_t>(500, 0); }},
      {"zeros and seconds",
       [] {
         std::vector<uint64_t> v(300, 0);
         v.insert(v.end(), 700, 2500000);
         return v;
       }},
  };
}

TEST(LatencySketchTest, QuantilesWithinTheRelativeError) {
  for (const Values& case_ : AllValues()) {
    SCOPED_TRACE(case_.name);
    std::vector<uint64_t> values = case_.make();
    auto sketch = std::make_unique<LatencySketch>();
    for (uint64_t v : values) AddLatency(*sketch, v);
    std::sort(values.begin(), values.end());
    ASSERT_EQ(sketch->count, values.size());
    EXPECT_EQ(sketch->minMicros, values.front());
    EXPECT_EQ(sketch->maxMicros, values.back());
    double worst = 0;
    for (double q : kQuantiles) {
      double exact = Exact(values, q);
      double estimate = LatencyQuantile(*sketch, q);
      if (exact == 0) {
        EXPECT_EQ(estimate, 0) << "q=" << q;
        continue;
      }
      double error = std::abs(estimate - exact) / exact;
      worst = std::max(worst, error);
      EXPECT_LE(error, kLatencyRelativeError) << "q=" << q << " exact " << exact;
    }
    EXPECT_EQ(LatencyQuantile(*sketch, 0), values.front());
    EXPECT_EQ(LatencyQuantile(*sketch, 1), values.back());
    RecordProperty(PropertyName("worst_", case_.name), std::to_string(worst));
  }
}

TEST(LatencySketchTest, PageQuantilesWithinTheRelativeErrorOrBoundedAbove) {
  for (const Values& case_ : AllValues()) {
    SCOPED_TRACE(case_.name);
    std::vector<uint64_t> values = case_.make();
    PageLatencySketch sketch{};
    for (uint64_t v : values) AddPageLatency(sketch, v);
    std::sort(values.begin(), values.end());
    double worst = 0;
    for (double q : kQuantiles) {
      double exact = Exact(values, q);
      LatencyEstimate estimate = PageLatencyQuantile(sketch, q);
      if (estimate.atMost) {
        // Collapsed below the window: a true upper bound, and no more than
        // the window's lowest bucket above the true value.
        EXPECT_GE(estimate.micros, exact) << "q=" << q;
        EXPECT_LE(estimate.micros, PageLatencyIndexHigh(sketch.low)) << "q=" << q;
        continue;
      }
      if (exact == 0) {
        EXPECT_EQ(estimate.micros, 0) << "q=" << q;
        continue;
      }
      double error = std::abs(estimate.micros - exact) / exact;
      worst = std::max(worst, error);
      EXPECT_LE(error, kPageLatencyRelativeError) << "q=" << q << " exact " << exact;
    }
    RecordProperty(PropertyName("page_worst_", case_.name), std::to_string(worst));
  }
}

TEST(LatencySketchTest, PageWindowCollapsesOnlyValuesFarBelowTheMaximum) {
  PageLatencySketch sketch{};
  for (int i = 0; i < 90; ++i) AddPageLatency(sketch, 10);        // 10 us
  for (int i = 0; i < 10; ++i) AddPageLatency(sketch, 60000000);  // a minute: 22 octaves up
  LatencyEstimate median = PageLatencyQuantile(sketch, 0.5);
  EXPECT_TRUE(median.atMost);
  EXPECT_GE(median.micros, 10);
  EXPECT_LE(median.micros, 60000000 / 4096 * 1.2);
  LatencyEstimate p95 = PageLatencyQuantile(sketch, 0.95);
  EXPECT_FALSE(p95.atMost);
  EXPECT_NEAR(p95.micros, 60000000, 60000000 * kPageLatencyRelativeError);
  // Within 12 octaves nothing collapses.
  PageLatencySketch near{};
  for (int i = 0; i < 90; ++i) AddPageLatency(near, 20000);
  for (int i = 0; i < 10; ++i) AddPageLatency(near, 60000000);
  EXPECT_FALSE(PageLatencyQuantile(near, 0.5).atMost);
  EXPECT_NEAR(PageLatencyQuantile(near, 0.5).micros, 20000, 20000 * kPageLatencyRelativeError);
}

TEST(LatencySketchTest, BucketsTileTheRangeWithinTheirWidth) {
  EXPECT_EQ(LatencyBucketLow(0), 0u);
  for (size_t b = 0; b < kLatencyBuckets; ++b) {
    uint64_t low = LatencyBucketLow(b);
    uint64_t high = LatencyBucketHigh(b);
    ASSERT_EQ(LatencyBucketOf(low), b);
    ASSERT_EQ(LatencyBucketOf(high), b);
    if (b + 1 < kLatencyBuckets) {
      ASSERT_EQ(LatencyBucketLow(b + 1), high + 1);
    }
    ASSERT_LE(static_cast<double>(high - low),
              kLatencyRelativeError * static_cast<double>(high + low));
  }
  EXPECT_EQ(LatencyBucketHigh(kLatencyBuckets - 1), kLatencyRangeMicros);
  EXPECT_EQ(LatencyBucketOf(kLatencyRangeMicros + 1), kLatencyBuckets - 1);
  EXPECT_EQ(LatencyBucketOf(UINT64_MAX), kLatencyBuckets - 1);

  uint64_t next = 0;  // the smallest value not yet covered
  for (uint32_t i = 0; i <= kPageLatencyTopIndex; ++i) {
    uint64_t low = PageLatencyIndexLow(i);
    uint64_t high = PageLatencyIndexHigh(i);
    if (low > high) continue;  // an index no whole number reaches
    ASSERT_EQ(low, next) << i;
    ASSERT_EQ(PageLatencyIndexOf(low), i);
    ASSERT_EQ(PageLatencyIndexOf(high), i);
    ASSERT_LE(static_cast<double>(high - low),
              kPageLatencyRelativeError * static_cast<double>(high + low));
    next = high + 1;
  }
  EXPECT_EQ(next, kLatencyRangeMicros + 1);
  EXPECT_EQ(PageLatencyIndexOf(UINT64_MAX), kPageLatencyTopIndex);
}

TEST(LatencySketchTest, OverTheRangeKeepsTheExactMaximum) {
  LatencySketch sketch{};
  AddLatency(sketch, 1000);
  AddLatency(sketch, kLatencyRangeMicros * 10);
  AddLatency(sketch, UINT64_MAX);
  EXPECT_EQ(sketch.maxMicros, UINT64_MAX);
  EXPECT_EQ(sketch.sumMicros, UINT64_MAX);  // stops, does not wrap
  EXPECT_EQ(LatencyQuantile(sketch, 1), static_cast<double>(UINT64_MAX));
  EXPECT_GE(LatencyQuantile(sketch, 0.5), static_cast<double>(LatencyBucketLow(2047)));
}

TEST(LatencySketchTest, EmptySketchIsAllZeroAndMergesAsNothing) {
  LatencySketch empty{};
  EXPECT_EQ(LatencyQuantile(empty, 0.5), 0);
  LatencySketch one{};
  AddLatency(one, 77);
  LatencySketch merged = one;
  MergeLatency(merged, empty);
  EXPECT_EQ(merged, one);
  LatencySketch other{};
  MergeLatency(other, one);
  EXPECT_EQ(other, one);
  PageLatencySketch page{};
  EXPECT_EQ(PageLatencyQuantile(page, 0.5).micros, 0);
}

// Values split among pieces at random, the pieces merged in some order:
// the sketch of the whole, byte for byte.
TEST(LatencySketchTest, MergedPiecesEqualTheSketchOfTheWhole) {
  std::vector<std::vector<uint64_t>> cases;
  for (const Values& v : AllValues()) cases.push_back(v.make());
  // Pieces whose ranges lie far apart, so that merging moves and folds the
  // page window.
  std::vector<uint64_t> apart;
  for (int i = 0; i < 1000; ++i) apart.push_back(5 + i % 7);
  for (int i = 0; i < 1000; ++i) apart.push_back(3000000000ULL + 17 * i);
  for (int i = 0; i < 1000; ++i) apart.push_back(40000 + i);
  cases.push_back(apart);
  std::mt19937_64 random(7);
  for (const auto& values : cases) {
    auto whole = std::make_unique<LatencySketch>();
    PageLatencySketch pageWhole{};
    for (uint64_t v : values) {
      AddLatency(*whole, v);
      AddPageLatency(pageWhole, v);
    }
    for (bool inBlocks : {false, true}) {
      auto pieces = std::make_unique<LatencySketch[]>(3);
      PageLatencySketch pagePieces[3] = {};
      for (size_t i = 0; i < values.size(); ++i) {
        size_t piece = inBlocks ? i * 3 / values.size() : random() % 3;
        AddLatency(pieces[piece], values[i]);
        AddPageLatency(pagePieces[piece], values[i]);
      }
      for (int order : {0, 1, 2}) {
        auto merged = std::make_unique<LatencySketch>();
        PageLatencySketch pageMerged{};
        for (int k = 0; k < 3; ++k) {
          int piece = (order + k * (order == 1 ? 2 : 1)) % 3;
          MergeLatency(*merged, pieces[piece]);
          MergePageLatency(pageMerged, pagePieces[piece]);
        }
        EXPECT_TRUE(*merged == *whole) << values.size() << " values, order " << order;
        EXPECT_TRUE(pageMerged == pageWhole) << values.size() << " values, order " << order;
      }
    }
  }
}

}  // namespace
}  // namespace logvane
