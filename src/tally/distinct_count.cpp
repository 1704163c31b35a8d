#include "tally/distinct_count.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace logvane {

namespace {

constexpr size_t kSlotMask = kDistinctExactSlots - 1;
constexpr int kRankBits = 64 - kDistinctPrecision;  // registers hold 0 to kRankBits + 1

void SetRegister(DistinctCount& counter, uint64_t hash) {
  uint8_t& reg = counter.registers[DistinctRegisterOf(hash)];
  reg = std::max(reg, DistinctRankOf(hash));
}

// The exact form's hashes become registers; the counter goes on as the
// registers of the same set.
void ToRegisters(DistinctCount& counter) {
  uint64_t held[kDistinctExactLimit];
  size_t n = 0;
  for (uint64_t h : counter.hashes) {
    if (h != 0) held[n++] = h;
  }
  bool zero = counter.hasZero != 0;
  std::memset(counter.registers, 0, sizeof(counter.registers));
  counter.exact = 0;
  counter.hasZero = 0;
  counter.dense = 1;
  for (size_t i = 0; i < n; ++i) SetRegister(counter, held[i]);
  if (zero) SetRegister(counter, 0);
}

bool ExactHolds(const DistinctCount& counter, uint64_t hash) {
  if (hash == 0) return counter.hasZero != 0;
  for (size_t i = hash & kSlotMask;; i = (i + 1) & kSlotMask) {
    if (counter.hashes[i] == hash) return true;
    if (counter.hashes[i] == 0) return false;
  }
}

// Ertl's sigma and tau: the series that carry the registers still at 0 and
// those at the largest rank into the estimate.
double Sigma(double x) {
  if (x == 1) return INFINITY;
  double y = 1;
  double z = x;
  for (;;) {
    x *= x;
    double before = z;
    z += x * y;
    y += y;
    if (z == before) return z;
  }
}

double Tau(double x) {
  if (x == 0 || x == 1) return 0;
  double y = 1;
  double z = 1 - x;
  for (;;) {
    x = std::sqrt(x);
    double before = z;
    y *= 0.5;
    z -= (1 - x) * (1 - x) * y;
    if (z == before) return z / 3;
  }
}

}  // namespace

void AddDistinctExact(DistinctCount& counter, uint64_t hash) {
  size_t i = hash & kSlotMask;
  if (hash == 0) {
    if (counter.hasZero != 0) return;
  } else {
    while (counter.hashes[i] != 0) {
      if (counter.hashes[i] == hash) return;
      i = (i + 1) & kSlotMask;
    }
  }
  if (counter.exact == kDistinctExactLimit) {
    ToRegisters(counter);
    SetRegister(counter, hash);
    return;
  }
  if (hash == 0) {
    counter.hasZero = 1;
  } else {
    counter.hashes[i] = hash;
  }
  ++counter.exact;
}

double DistinctEstimate(const DistinctCount& counter) {
  if (counter.dense == 0) return counter.exact;
  uint32_t histogram[kRankBits + 2] = {};
  for (uint8_t reg : counter.registers) ++histogram[std::min<int>(reg, kRankBits + 1)];
  constexpr double m = kDistinctRegisters;
  double z = m * Tau(1 - histogram[kRankBits + 1] / m);
  for (int k = kRankBits; k >= 1; --k) z = 0.5 * (z + histogram[k]);
  z += m * Sigma(histogram[0] / m);
  return m * m / (2 * std::log(2.0) * z);
}

void MergeDistinct(DistinctCount& into, const DistinctCount& from) {
  if (from.dense == 0) {
    for (uint64_t h : from.hashes) {
      if (h != 0) AddDistinct(into, h);
    }
    if (from.hasZero != 0) AddDistinct(into, 0);
    return;
  }
  if (into.dense == 0) ToRegisters(into);
  for (size_t r = 0; r < kDistinctRegisters; ++r) {
    into.registers[r] = std::max(into.registers[r], from.registers[r]);
  }
}

bool SameDistinct(const DistinctCount& a, const DistinctCount& b) {
  if (a.dense != b.dense) return false;
  if (a.dense != 0) return std::memcmp(a.registers, b.registers, sizeof(a.registers)) == 0;
  if (a.exact != b.exact || a.hasZero != b.hasZero) return false;
  for (uint64_t h : a.hashes) {
    if (h != 0 && !ExactHolds(b, h)) return false;
  }
  return true;
}

}  // namespace logvane
