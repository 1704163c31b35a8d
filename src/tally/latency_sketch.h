// Mergeable summaries of response times in fixed memory: logarithmic
// buckets whose width is a fixed fraction of their values, so that every
// quantile is known within a stated relative error (the DDSketch
// construction of Masson, Rim and Lee, 2019), and two sketches merge by
// adding their buckets. Values are whole microseconds.
//
// LatencySketch: for the whole log and each hour of day. 2,048 buckets:
// 0 to 127 us one value each (exact), then 64 buckets an octave up to
// 2^37 - 1 us (38.2 hours). Every quantile up to that value is within 1/129
// (0.78%) of the true one; values above it share the last bucket, where a
// quantile is only known to lie between 2^37 - 2^30 us and the maximum.
// Count, sum, minimum and maximum are exact. 16 KiB and 32 bytes.
//
// PageLatencySketch: one per page of the page table, 512 bytes. Ten
// buckets an octave (relative error below 1/21, 4.8%) in a window of 120
// buckets (12 octaves, a factor of 4,096) that ends at the largest value:
// values more than 12 octaves below the maximum are collapsed into the
// window's lowest bucket (the bounded variant of the paper), so a quantile
// that falls there is only known as an upper bound. The window is a
// function of the minimum and the maximum alone, so a sketch depends only
// on its values, never on their order.
//
// Both are plain data: all zero is an empty sketch, so a zeroed array of
// them costs no memory until a sketch is used. A sketch of a multiset of
// values equals, byte for byte, the merge of sketches of any split of it.
#ifndef LOGVANE_TALLY_LATENCY_SKETCH_H_
#define LOGVANE_TALLY_LATENCY_SKETCH_H_

#include <cstddef>
#include <cstdint>

namespace logvane {

// The largest value with a bucket of bounded width: 2^37 - 1 us.
inline constexpr uint64_t kLatencyRangeMicros = (uint64_t{1} << 37) - 1;

inline constexpr size_t kLatencyBuckets = 2048;
// Relative error bound of LatencyQuantile within the range.
inline constexpr double kLatencyRelativeError = 1.0 / 129;

struct LatencySketch {
  uint64_t count;
  uint64_t sumMicros;  // stops at the largest uint64_t rather than wrapping
  uint64_t minMicros;  // meaningful when count > 0
  uint64_t maxMicros;
  uint64_t buckets[kLatencyBuckets];

  bool operator==(const LatencySketch&) const = default;
};

// Bucket of a value: the value itself below 128, then the octave's 64
// buckets, each as wide as 1/64 of the octave's start; values over the
// range go to the last bucket.
inline size_t LatencyBucketOf(uint64_t micros) {
  if (micros < 128) return static_cast<size_t>(micros);
  if (micros > kLatencyRangeMicros) return kLatencyBuckets - 1;
  int shift = 63 - __builtin_clzll(micros) - 6;  // 1 to 30
  return (static_cast<size_t>(shift) << 6) + static_cast<size_t>(micros >> shift);
}

// The smallest and the largest value of a bucket (the last bucket's
// largest is that of the range, though it holds larger values too).
uint64_t LatencyBucketLow(size_t bucket);
uint64_t LatencyBucketHigh(size_t bucket);

inline uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  uint64_t sum;
  return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}

inline void AddLatency(LatencySketch& sketch, uint64_t micros) {
  ++sketch.buckets[LatencyBucketOf(micros)];
  if (sketch.count == 0 || micros < sketch.minMicros) sketch.minMicros = micros;
  if (micros > sketch.maxMicros) sketch.maxMicros = micros;
  ++sketch.count;
  sketch.sumMicros = SaturatingAdd(sketch.sumMicros, micros);
}

// The q-quantile (0 <= q <= 1) in microseconds: an estimate of the value of
// rank floor(q * (count - 1)) among the values in ascending order, within
// kLatencyRelativeError of it. q = 0 gives the minimum and q = 1 the
// maximum exactly; an empty sketch gives 0.
double LatencyQuantile(const LatencySketch& sketch, double q);

// Adds `from` to `into`: the sketch of both sets of values.
void MergeLatency(LatencySketch& into, const LatencySketch& from);

// ---- The per-page sketch.

inline constexpr size_t kPageLatencyBuckets = 120;
inline constexpr int kPageOctaveBuckets = 10;
// Indices run from 0 (the value 0) to kPageLatencyTopIndex (the range's
// last bucket); a sketch keeps the window of kPageLatencyBuckets of them
// that ends at its maximum's.
inline constexpr uint32_t kPageLatencyTopIndex = 1 + 36 * kPageOctaveBuckets + 9;
inline constexpr double kPageLatencyRelativeError = 1.0 / 21;

struct PageLatencySketch {
  uint64_t count;
  uint64_t minMicros;  // meaningful when count > 0
  uint64_t maxMicros;
  uint32_t low;  // index of buckets[0]: max(index of min, index of max - 119)
  // Each stops at the largest uint32_t rather than wrapping. buckets[0]
  // holds every value whose index is `low` or below.
  uint32_t buckets[kPageLatencyBuckets];

  bool operator==(const PageLatencySketch&) const = default;
};

static_assert(sizeof(PageLatencySketch) == 512);

// Index of a value: 0 for 0, then ten a octave, each a tenth of the
// octave's start wide; values over the range take the top index.
inline uint32_t PageLatencyIndexOf(uint64_t micros) {
  if (micros == 0) return 0;
  if (micros > kLatencyRangeMicros) micros = kLatencyRangeMicros;
  int octave = 63 - __builtin_clzll(micros);
  uint64_t step = ((micros - (uint64_t{1} << octave)) * kPageOctaveBuckets) >> octave;
  return 1 + static_cast<uint32_t>(octave) * kPageOctaveBuckets + static_cast<uint32_t>(step);
}

uint64_t PageLatencyIndexLow(uint32_t index);
uint64_t PageLatencyIndexHigh(uint32_t index);

void AddPageLatency(PageLatencySketch& sketch, uint64_t micros);

// A quantile of a page sketch. `atMost` is set when the rank falls in a
// collapsed lowest bucket: `micros` is then an upper bound (that bucket's
// largest value, or the maximum if smaller), the true value lying between
// the minimum and it. Otherwise `micros` is within
// kPageLatencyRelativeError of the true value (within the range).
struct LatencyEstimate {
  double micros;
  bool atMost;
};
LatencyEstimate PageLatencyQuantile(const PageLatencySketch& sketch, double q);

void MergePageLatency(PageLatencySketch& into, const PageLatencySketch& from);

}  // namespace logvane

#endif  // LOGVANE_TALLY_LATENCY_SKETCH_H_
