#include "tally/latency_sketch.h"

#include <algorithm>
#include <cstring>

namespace logvane {

namespace {

// The value of a bucket [low, high] with the least relative error for any
// value in it: their harmonic mean, which is (high - low) / (high + low)
// from either end.
double Representative(uint64_t low, uint64_t high) {
  if (low == high) return static_cast<double>(low);
  double l = static_cast<double>(low);
  double h = static_cast<double>(high);
  return 2 * l * h / (l + h);
}

// The rank a quantile asks for, 0-based.
uint64_t RankOf(uint64_t count, double q) {
  if (!(q > 0)) return 0;  // also NaN
  if (q >= 1) return count - 1;
  return static_cast<uint64_t>(q * static_cast<double>(count - 1));
}

double Clamp(double value, uint64_t low, uint64_t high) {
  return std::clamp(value, static_cast<double>(low), static_cast<double>(high));
}

uint32_t SaturatingAdd32(uint32_t a, uint64_t b) {
  uint64_t sum = a + b;
  return sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
}

// The window's lowest index for a sketch holding `minMicros` and
// `maxMicros`: as low as the minimum's, unless the maximum is more than the
// window above it.
uint32_t WindowLow(uint64_t minMicros, uint64_t maxMicros) {
  uint32_t lowest = PageLatencyIndexOf(minMicros);
  uint32_t highest = PageLatencyIndexOf(maxMicros);
  uint32_t span = static_cast<uint32_t>(kPageLatencyBuckets) - 1;
  return highest > lowest + span ? highest - span : lowest;
}

// Moves the buckets of `sketch` from its window starting at `sketch.low` to
// one starting at `low`. A window moved up folds the buckets it leaves into
// its first; one moved down (a new minimum while the values fit) only had
// empty buckets above its new end.
void MoveWindow(PageLatencySketch& sketch, uint32_t low) {
  uint32_t old = sketch.low;
  if (low == old) return;
  constexpr size_t n = kPageLatencyBuckets;
  if (low > old) {
    size_t by = low - old;
    uint32_t folded = 0;
    for (size_t i = 0; i <= by && i < n; ++i) folded = SaturatingAdd32(folded, sketch.buckets[i]);
    if (by < n) {
      std::memmove(sketch.buckets + 1, sketch.buckets + by + 1, (n - by - 1) * sizeof(uint32_t));
      std::memset(sketch.buckets + (n - by), 0, by * sizeof(uint32_t));
    } else {
      std::memset(sketch.buckets, 0, sizeof(sketch.buckets));
    }
    sketch.buckets[0] = folded;
  } else {
    size_t by = old - low;  // below n: both windows hold the maximum's index
    std::memmove(sketch.buckets + by, sketch.buckets, (n - by) * sizeof(uint32_t));
    std::memset(sketch.buckets, 0, by * sizeof(uint32_t));
  }
  sketch.low = low;
}

}  // namespace

uint64_t LatencyBucketLow(size_t bucket) {
  if (bucket < 128) return bucket;
  int shift = static_cast<int>(bucket >> 6) - 1;
  uint64_t mantissa = 64 + (bucket & 63);
  return mantissa << shift;
}

uint64_t LatencyBucketHigh(size_t bucket) {
  if (bucket < 128) return bucket;
  int shift = static_cast<int>(bucket >> 6) - 1;
  uint64_t mantissa = 64 + (bucket & 63);
  return ((mantissa + 1) << shift) - 1;
}

double LatencyQuantile(const LatencySketch& sketch, double q) {
  if (sketch.count == 0) return 0;
  uint64_t rank = RankOf(sketch.count, q);
  if (rank == 0) return static_cast<double>(sketch.minMicros);
  if (rank == sketch.count - 1) return static_cast<double>(sketch.maxMicros);
  uint64_t seen = 0;
  for (size_t b = 0; b < kLatencyBuckets; ++b) {
    seen += sketch.buckets[b];
    if (seen > rank) {
      // The true value lies in the bucket and between the extremes, so
      // clamping to them never moves the estimate away from it.
      double value = Representative(LatencyBucketLow(b), LatencyBucketHigh(b));
      return Clamp(value, sketch.minMicros, sketch.maxMicros);
    }
  }
  return static_cast<double>(sketch.maxMicros);
}

void MergeLatency(LatencySketch& into, const LatencySketch& from) {
  if (from.count == 0) return;
  for (size_t b = 0; b < kLatencyBuckets; ++b) into.buckets[b] += from.buckets[b];
  if (into.count == 0 || from.minMicros < into.minMicros) into.minMicros = from.minMicros;
  into.maxMicros = std::max(into.maxMicros, from.maxMicros);
  into.count += from.count;
  into.sumMicros = SaturatingAdd(into.sumMicros, from.sumMicros);
}

uint64_t PageLatencyIndexLow(uint32_t index) {
  if (index == 0) return 0;
  uint32_t octave = (index - 1) / kPageOctaveBuckets;
  uint64_t step = (index - 1) % kPageOctaveBuckets;
  return (((kPageOctaveBuckets + step) << octave) + kPageOctaveBuckets - 1) / kPageOctaveBuckets;
}

uint64_t PageLatencyIndexHigh(uint32_t index) {
  if (index == 0) return 0;
  uint32_t octave = (index - 1) / kPageOctaveBuckets;
  uint64_t step = (index - 1) % kPageOctaveBuckets;
  return (((kPageOctaveBuckets + step + 1) << octave) + kPageOctaveBuckets - 1) /
             kPageOctaveBuckets -
         1;
}

void AddPageLatency(PageLatencySketch& sketch, uint64_t micros) {
  uint32_t index = PageLatencyIndexOf(micros);
  if (sketch.count == 0) {
    sketch.minMicros = sketch.maxMicros = micros;
    sketch.low = index;
  } else if (micros < sketch.minMicros || micros > sketch.maxMicros) {
    sketch.minMicros = std::min(sketch.minMicros, micros);
    sketch.maxMicros = std::max(sketch.maxMicros, micros);
    MoveWindow(sketch, WindowLow(sketch.minMicros, sketch.maxMicros));
  }
  size_t at = index > sketch.low ? index - sketch.low : 0;
  sketch.buckets[at] = SaturatingAdd32(sketch.buckets[at], 1);
  ++sketch.count;
}

LatencyEstimate PageLatencyQuantile(const PageLatencySketch& sketch, double q) {
  if (sketch.count == 0) return {0, false};
  uint64_t rank = RankOf(sketch.count, q);
  if (rank == 0) return {static_cast<double>(sketch.minMicros), false};
  if (rank == sketch.count - 1) return {static_cast<double>(sketch.maxMicros), false};
  bool collapsed = PageLatencyIndexOf(sketch.minMicros) < sketch.low;
  uint64_t seen = 0;
  for (size_t b = 0; b < kPageLatencyBuckets; ++b) {
    seen += sketch.buckets[b];
    if (seen <= rank) continue;
    uint32_t index = sketch.low + static_cast<uint32_t>(b);
    uint64_t high = PageLatencyIndexHigh(index);
    if (b == 0 && collapsed) {
      return {static_cast<double>(std::min(high, sketch.maxMicros)), true};
    }
    double value = Representative(PageLatencyIndexLow(index), high);
    return {Clamp(value, sketch.minMicros, sketch.maxMicros), false};
  }
  // Only when buckets stopped at their largest count.
  return {static_cast<double>(sketch.maxMicros), false};
}

void MergePageLatency(PageLatencySketch& into, const PageLatencySketch& from) {
  if (from.count == 0) return;
  if (into.count == 0) {
    into = from;
    return;
  }
  into.minMicros = std::min(into.minMicros, from.minMicros);
  into.maxMicros = std::max(into.maxMicros, from.maxMicros);
  into.count += from.count;
  MoveWindow(into, WindowLow(into.minMicros, into.maxMicros));
  for (size_t b = 0; b < kPageLatencyBuckets; ++b) {
    // Buckets past the merged maximum's index are empty, and may lie past
    // the merged window.
    if (from.buckets[b] == 0) continue;
    uint32_t index = from.low + static_cast<uint32_t>(b);
    size_t at = index > into.low ? index - into.low : 0;
    into.buckets[at] = SaturatingAdd32(into.buckets[at], from.buckets[b]);
  }
}

}  // namespace logvane
