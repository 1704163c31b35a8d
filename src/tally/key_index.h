// A fixed-size open-addressing index over the keys of one tally table, so
// that finding a key costs one hash and a probe or two instead of a walk over
// every slot in use. Keys are hashed and compared with A-Z folded to a-z.
#ifndef LOGVANE_TALLY_KEY_INDEX_H_
#define LOGVANE_TALLY_KEY_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace logvane {

namespace fold_detail {

inline uint64_t LoadWord(const char* p, size_t n) {
  uint64_t w = 0;
  std::memcpy(&w, p, n);
  return w;
}

// Lowercases the bytes 'A'..'Z' of a word; all other bytes stay as they are.
inline uint64_t FoldWord(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  uint64_t low7 = w & ~kHigh;
  uint64_t aboveA = low7 + (0x80 - 'A') * kOnes;      // high bit set where >= 'A'
  uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;  // high bit set where > 'Z'
  uint64_t upper = aboveA & ~aboveZ & ~w & kHigh;
  return w | (upper >> 2);
}

inline uint64_t Mix(uint64_t h) {
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9ULL;
  h ^= h >> 32;
  return h;
}

}  // namespace fold_detail

// Hash of a key with the letters A-Z folded.
inline uint64_t FoldedHash(std::string_view key) {
  using namespace fold_detail;
  uint64_t h = 0x9e3779b97f4a7c15ULL ^ key.size();
  const char* p = key.data();
  size_t n = key.size();
  while (n >= 8) {
    h = (h ^ FoldWord(LoadWord(p, 8))) * 0x94d049bb133111ebULL;
    h = (h << 27) | (h >> 37);
    p += 8;
    n -= 8;
  }
  if (n != 0) h = (h ^ FoldWord(LoadWord(p, n))) * 0x94d049bb133111ebULL;
  return Mix(h);
}

// Equal over the whole length, letters A-Z matching a-z.
inline bool FoldedEqual(std::string_view a, std::string_view b) {
  using namespace fold_detail;
  if (a.size() != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  size_t n = a.size();
  while (n >= 8) {
    if (FoldWord(LoadWord(p, 8)) != FoldWord(LoadWord(q, 8))) return false;
    p += 8;
    q += 8;
    n -= 8;
  }
  return n == 0 || FoldWord(LoadWord(p, n)) == FoldWord(LoadWord(q, n));
}

constexpr size_t IndexBucketsFor(size_t capacity) {
  size_t buckets = 16;
  while (buckets < capacity * 2) buckets *= 2;
  return buckets;
}

// Maps folded keys to slot numbers. Each bucket holds the upper half of
// the key's hash and the slot number plus one (0 marks an empty bucket).
// With at least twice as many buckets as slots a probe sequence stays short.
template <size_t Capacity>
struct KeyIndex {
  static constexpr size_t kBuckets = IndexBucketsFor(Capacity);
  uint64_t buckets[kBuckets];

  void Clear() { std::memset(buckets, 0, sizeof(buckets)); }

  // Finds the slot whose key folds equal to `key`; `keyOf(slot)` gives a
  // slot's key. Returns the slot, or -1 and the bucket where it would go.
  template <typename KeyOf>
  int64_t Find(std::string_view key, uint64_t hash, KeyOf keyOf, size_t* freeBucket) const {
    uint32_t tag = static_cast<uint32_t>(hash >> 32);
    size_t b = static_cast<size_t>(hash) & (kBuckets - 1);
    for (;;) {
      uint64_t entry = buckets[b];
      if (entry == 0) {
        *freeBucket = b;
        return -1;
      }
      if (static_cast<uint32_t>(entry >> 32) == tag) {
        size_t slot = static_cast<uint32_t>(entry) - 1;
        if (FoldedEqual(keyOf(slot), key)) return static_cast<int64_t>(slot);
      }
      b = (b + 1) & (kBuckets - 1);
    }
  }

  void Insert(size_t bucket, uint64_t hash, size_t slot) {
    buckets[bucket] = (static_cast<uint64_t>(static_cast<uint32_t>(hash >> 32)) << 32) |
                      static_cast<uint64_t>(slot + 1);
  }
};

}  // namespace logvane

#endif  // LOGVANE_TALLY_KEY_INDEX_H_
