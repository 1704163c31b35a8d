// The address-to-name cache: loaded from "lvipname.dat" at the start of a
// run, extended by the lookups of the run, written back at its end.
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

}  // namespace logvane

#endif  // LOGVANE_NAMES_NAME_CACHE_H_
