// A fixed-size open-addressing index over the keys of one tally table, so
// that finding a key costs one hash and a probe or two instead of a walk over
// every slot in use. Keys are hashed and compared with A-Z folded to a-z.
#ifndef LOGVANE_TALLY_KEY_INDEX_H_
#define LOGVANE_TALLY_KEY_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/ascii_text.h"

namespace logvane {

namespace fold_detail {

// The 128-bit product of a and b, its halves folded together.
inline uint64_t Mum(uint64_t a, uint64_t b) {
  unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

inline constexpr uint64_t kSeed0 = 0xa0761d6478bd642fULL;
inline constexpr uint64_t kSeed1 = 0xe7037ed1a0b428dbULL;
inline constexpr uint64_t kSeed2 = 0x8ebc6af09c88c6e3ULL;

}  // namespace fold_detail

// Hash of a key with the letters A-Z folded: sixteen bytes a step, the short
// tail read as overlapping words. Only folded bytes enter it, so keys that
// differ in the case of letters alone hash alike.
[[gnu::always_inline]] inline uint64_t FoldedHash(std::string_view key) {
  using namespace fold_detail;
  const char* p = key.data();
  size_t n = key.size();
  uint64_t h = kSeed0 ^ (n * kSeed1);
  uint64_t a;
  uint64_t b;
  if (n <= 16) {
    if (n >= 4) {
      size_t mid = (n >> 3) << 2;
      a = (Load4(p) << 32) | Load4(p + mid);
      b = (Load4(p + n - 4) << 32) | Load4(p + n - 4 - mid);
    } else if (n > 0) {
      a = (static_cast<uint64_t>(static_cast<unsigned char>(p[0])) << 16) |
          (static_cast<uint64_t>(static_cast<unsigned char>(p[n >> 1])) << 8) |
          static_cast<unsigned char>(p[n - 1]);
      b = 0;
    } else {
      a = b = 0;
    }
  } else {
#if defined(__SSE2__)
    while (n > 16) {
      __m128i f = Fold16(Load16(p));
      uint64_t lo = static_cast<uint64_t>(_mm_cvtsi128_si64(f));
      uint64_t hi = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(f, f)));
      h = Mum(lo ^ kSeed1, hi ^ h);
      p += 16;
      n -= 16;
    }
#else
    while (n > 16) {
      h = Mum(FoldWord(Load8(p)) ^ kSeed1, FoldWord(Load8(p + 8)) ^ h);
      p += 16;
      n -= 16;
    }
#endif
    a = Load8(p + n - 16);
    b = Load8(p + n - 8);
  }
  return Mum(kSeed1 ^ key.size(), Mum(FoldWord(a) ^ kSeed2, FoldWord(b) ^ h));
}

constexpr size_t IndexBucketsFor(size_t capacity) {
  size_t buckets = 16;
  while (buckets < capacity * 2) buckets *= 2;
  return buckets;
}

// Maps folded keys to slot numbers. Each bucket holds the upper half of the
// key's hash and the slot number plus one (0 marks an empty bucket). With at
// least twice as many buckets as slots a probe sequence stays short, and
// there is always an empty bucket to end it.
//
// One thread adds keys; others may search at the same time (FindShared).
// Erase is for that thread alone while nobody else searches.
// A bucket goes once from empty to its final value in one atomic store,
// made after the slot's key was written, so a searcher that sees the bucket
// sees the key; a key added meanwhile may be missed, never mistaken.
template <size_t Capacity>
struct KeyIndex {
  static constexpr size_t kBuckets = IndexBucketsFor(Capacity);
  uint64_t buckets[kBuckets];

  void Clear() { std::memset(buckets, 0, sizeof(buckets)); }

  static size_t HomeOf(uint64_t hash) { return static_cast<size_t>(hash) & (kBuckets - 1); }

  // Asks the memory for the bucket where a search for `hash` starts.
  void Prefetch(uint64_t hash) const { __builtin_prefetch(&buckets[HomeOf(hash)]); }

  // The slot of the first bucket where a search for `hash` would look, when
  // that bucket is taken and carries the hash's tag: a likely answer, for
  // prefetching its slot.
  int64_t LikelySlot(uint64_t hash) const {
    uint64_t entry = Load(HomeOf(hash), __ATOMIC_RELAXED);
    if (entry == 0 || static_cast<uint32_t>(entry >> 32) != static_cast<uint32_t>(hash >> 32)) {
      return -1;
    }
    return static_cast<int64_t>(static_cast<uint32_t>(entry) - 1);
  }

  // Finds the slot whose key folds equal to `key`; `keyOf(slot)` gives a
  // slot's key. Returns the slot, or -1 and the bucket where it would go.
  // For the thread that adds keys.
  template <typename KeyOf>
  int64_t Find(std::string_view key, uint64_t hash, KeyOf keyOf, size_t* freeBucket) const {
    return Search(key, hash, keyOf, freeBucket, __ATOMIC_RELAXED);
  }

  // The same from any other thread, while keys are being added: the slot,
  // or -1 when the key is not there yet.
  template <typename KeyOf>
  int64_t FindShared(std::string_view key, uint64_t hash, KeyOf keyOf) const {
    size_t unused = 0;
    return Search(key, hash, keyOf, &unused, __ATOMIC_ACQUIRE);
  }

  // Takes `slot` (found under `hash`) out of the index, moving later
  // entries of its probe run back so that every search still finds them
  // (backward-shift deletion: no tombstones, so searches stay as short as
  // before). `homeOf(slot)` gives the home bucket of the key in a slot. For
  // the thread that adds keys, while no other thread searches.
  template <typename HomeOfSlot>
  void Erase(uint64_t hash, size_t slot, HomeOfSlot homeOf) {
    size_t hole = HomeOf(hash);
    while (static_cast<uint32_t>(buckets[hole]) != slot + 1) hole = (hole + 1) & (kBuckets - 1);
    for (size_t b = (hole + 1) & (kBuckets - 1);; b = (b + 1) & (kBuckets - 1)) {
      uint64_t entry = buckets[b];
      if (entry == 0) break;
      size_t home = homeOf(static_cast<uint32_t>(entry) - 1);
      // The entry may fill the hole unless its home lies after the hole and
      // at or before its bucket (cyclically): then moving it would put it
      // before its home.
      bool stays = hole <= b ? (home > hole && home <= b) : (home > hole || home <= b);
      if (stays) continue;
      __atomic_store_n(&buckets[hole], entry, __ATOMIC_RELAXED);
      hole = b;
    }
    __atomic_store_n(&buckets[hole], uint64_t{0}, __ATOMIC_RELAXED);
  }

  void Insert(size_t bucket, uint64_t hash, size_t slot) {
    uint64_t entry = (static_cast<uint64_t>(static_cast<uint32_t>(hash >> 32)) << 32) |
                     static_cast<uint64_t>(slot + 1);
    __atomic_store_n(&buckets[bucket], entry, __ATOMIC_RELEASE);
  }

 private:
  uint64_t Load(size_t b, int order) const {
    return order == __ATOMIC_ACQUIRE ? __atomic_load_n(&buckets[b], __ATOMIC_ACQUIRE)
                                     : __atomic_load_n(&buckets[b], __ATOMIC_RELAXED);
  }

  template <typename KeyOf>
  int64_t Search(std::string_view key, uint64_t hash, KeyOf keyOf, size_t* freeBucket,
                 int order) const {
    uint32_t tag = static_cast<uint32_t>(hash >> 32);
    size_t b = HomeOf(hash);
    for (;;) {
      uint64_t entry = Load(b, order);
      if (entry == 0) {
        *freeBucket = b;
        return -1;
      }
      if (static_cast<uint32_t>(entry >> 32) == tag) {
        size_t slot = static_cast<uint32_t>(entry) - 1;
        if (EqualsFolded(keyOf(slot), key)) return static_cast<int64_t>(slot);
      }
      b = (b + 1) & (kBuckets - 1);
    }
  }
};

}  // namespace logvane

#endif  // LOGVANE_TALLY_KEY_INDEX_H_
