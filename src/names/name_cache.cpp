#include "names/name_cache.h"

#include <algorithm>

namespace logvane {

void ClearNameCache(NameCache& cache) {
  for (NameCacheEntry& entry : cache.entries) {
    entry.address.clear();
    entry.name.clear();
  }
  cache.loadedCount = 0;
  cache.usedCount = 0;
}

int CompareCacheAddresses(std::string_view a, std::string_view b) {
  a = a.substr(0, std::min(a.size(), kCacheAddressWidth));
  b = b.substr(0, std::min(b.size(), kCacheAddressWidth));
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    auto x = static_cast<unsigned char>(FoldChar(a[i]));
    auto y = static_cast<unsigned char>(FoldChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void SortLoadedPart(NameCache& cache) {
  std::sort(cache.entries, cache.entries + cache.loadedCount,
            [](const NameCacheEntry& x, const NameCacheEntry& y) {
              return CompareCacheAddresses(x.address.view(), y.address.view()) < 0;
            });
}

std::optional<std::string_view> FindCachedName(const NameCache& cache, std::string_view address) {
  if (address.size() > kCacheAddressWidth) return std::nullopt;
  size_t low = 0;
  size_t high = cache.loadedCount;
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    const NameCacheEntry& entry = cache.entries[middle];
    int order = CompareCacheAddresses(entry.address.view(), address);
    if (order == 0) return entry.name.view();
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return std::nullopt;
}

bool AppendNameCacheEntry(NameCache& cache, std::string_view address, std::string_view name) {
  if (NameCacheFull(cache)) return false;
  NameCacheEntry& entry = cache.entries[cache.usedCount++];
  entry.address.assign(address);
  entry.name.assign(name);
  return true;
}

}  // namespace logvane
