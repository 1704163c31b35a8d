// The address-to-name cache: loaded from "lvipname.dat" at the start of a
// run, extended by the lookups of the run, written back at its end.
//
// Entries 0..loadedCount-1 came from the file and are sorted by address;
// entries loadedCount..usedCount-1 were added in this run, in the order
// added, and are never searched.
#ifndef LOGVANE_NAMES_NAME_CACHE_H_
#define LOGVANE_NAMES_NAME_CACHE_H_

#include <cstddef>
#include <optional>
#include <string_view>

#include "common/ascii_text.h"

namespace logvane {

inline constexpr size_t kNameCacheCapacity = 64000;
inline constexpr size_t kCacheAddressWidth = 45;  // an IPv6 literal fits
inline constexpr size_t kCacheNameWidth = 59;

struct NameCacheEntry {
  FixedText<kCacheAddressWidth> address;  // empty: a free entry
  FixedText<kCacheNameWidth> name;
};

struct NameCache {
  NameCacheEntry entries[kNameCacheCapacity];
  size_t loadedCount;  // entries 0..loadedCount-1, sorted by address
  size_t usedCount;    // loaded plus added in this run
};

// Every entry free, nothing loaded.
void ClearNameCache(NameCache& cache);

inline bool NameCacheFull(const NameCache& cache) { return cache.usedCount >= kNameCacheCapacity; }

// The address order: texts compared over at most kCacheAddressWidth
// characters, A-Z folded to a-z, then by unsigned byte; a text that ends
// first is the smaller. Textual, not numeric: 10.0.0.9 < 9.0.0.1.
int CompareCacheAddresses(std::string_view a, std::string_view b);

// Sorts the loaded part by address.
void SortLoadedPart(NameCache& cache);

// The cached name of `address`: a binary search over the loaded part only.
// A text longer than an address field can hold is never found, so a long
// key never picks up the name of the address it begins with.
std::optional<std::string_view> FindCachedName(const NameCache& cache, std::string_view address);

// Stores an entry behind those in use, the address cut to 45 characters and
// the name to 59. False (nothing stored) when the cache is full.
bool AppendNameCacheEntry(NameCache& cache, std::string_view address, std::string_view name);

}  // namespace logvane

#endif  // LOGVANE_NAMES_NAME_CACHE_H_
