// Counts of distinct keys in fixed memory (16 KiB): exact while small, a
// HyperLogLog of precision 14 after that (16,384 one-byte registers, about
// 0.81% standard error), estimated with Ertl's improved estimator ("New
// cardinality estimation algorithms for HyperLogLog sketches", 2017), which
// needs no bias tables and holds its error from the switch upward.
//
// The exact form is an open-addressing set of the 64-bit hashes seen, in the
// same 16 KiB as the registers: it counts up to kDistinctExactLimit distinct
// hashes exactly (distinct keys, but for a collision of 64-bit hashes), and
// the next new hash turns it into registers. So a small log or a quiet day is
// counted exactly, and a counter is always a function of its set of hashes:
// the exact set while it fits, the registers of that set beyond.
//
// Callers hand in a 64-bit hash mixed over all its bits (FoldedHash of a key,
// or CombineHashes of two). All zero is an empty counter.
#ifndef LOGVANE_TALLY_DISTINCT_COUNT_H_
#define LOGVANE_TALLY_DISTINCT_COUNT_H_

#include <cstddef>
#include <cstdint>

namespace logvane {

inline constexpr int kDistinctPrecision = 14;
inline constexpr size_t kDistinctRegisters = size_t{1} << kDistinctPrecision;
inline constexpr size_t kDistinctExactSlots = kDistinctRegisters / sizeof(uint64_t);
// Three quarters of the slots, so that a search stays short.
inline constexpr uint32_t kDistinctExactLimit = kDistinctExactSlots * 3 / 4;
// 1.04 / sqrt(registers).
inline constexpr double kDistinctStandardError = 1.04 / 128;

struct DistinctCount {
  uint32_t exact;   // distinct hashes in the exact form, the hash 0 included
  uint8_t dense;    // 1 once the registers are in use
  uint8_t hasZero;  // the exact form has seen the hash 0 (0 marks free slots)
  uint8_t unused[2];
  union {
    uint64_t hashes[kDistinctExactSlots];  // 0 marks a free slot
    uint8_t registers[kDistinctRegisters];
  };
};

static_assert(sizeof(DistinctCount) == 8 + kDistinctRegisters);

// The exact form's part of AddDistinct.
void AddDistinctExact(DistinctCount& counter, uint64_t hash);

// Counts one hash.
inline void AddDistinct(DistinctCount& counter, uint64_t hash);

// The exact count while the counter is exact, the estimate after that.
double DistinctEstimate(const DistinctCount& counter);

inline bool DistinctIsExact(const DistinctCount& counter) { return counter.dense == 0; }

// Adds `from` to `into`: the counter of the union of their hashes (exact
// when the union fits the exact form).
void MergeDistinct(DistinctCount& into, const DistinctCount& from);

// Whether two counters hold the same set (exact forms) or the same
// registers; the exact form's slot order depends on the order of adding.
bool SameDistinct(const DistinctCount& a, const DistinctCount& b);

// The register and the rank a hash sets: the top 14 bits choose the
// register, the leading zeros of the other 50 plus one (1 to 51) are the
// rank.
inline size_t DistinctRegisterOf(uint64_t hash) {
  return static_cast<size_t>(hash >> (64 - kDistinctPrecision));
}
inline uint8_t DistinctRankOf(uint64_t hash) {
  uint64_t rest = (hash << kDistinctPrecision) | (uint64_t{1} << (kDistinctPrecision - 1));
  return static_cast<uint8_t>(__builtin_clzll(rest) + 1);
}

inline void AddDistinct(DistinctCount& counter, uint64_t hash) {
  if (counter.dense == 0) {
    AddDistinctExact(counter, hash);
    return;
  }
  uint8_t& reg = counter.registers[DistinctRegisterOf(hash)];
  uint8_t rank = DistinctRankOf(hash);
  if (rank > reg) reg = rank;
}

// A hash of the pair (a, b) for counting pairs, such as a client with one
// user agent: mixed over all bits, and not symmetric, so (a, b) and (b, a)
// differ.
inline uint64_t MixBits(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}
inline uint64_t CombineHashes(uint64_t a, uint64_t b) {
  return MixBits(a ^ MixBits(b + 0x9e3779b97f4a7c15ULL));
}

}  // namespace logvane

#endif  // LOGVANE_TALLY_DISTINCT_COUNT_H_
