// Any bytes as the cache file "lvipname.dat". Loading must end normally
// with a sorted loaded part of valid entries, and what a save writes must
// load back as the same records.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "names/cache_file.h"
#include "platform/fault_env.h"
#include "names/name_cache.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr);
  if (size != 0) Check(std::fwrite(data, 1, size, f) == size);
  Check(std::fclose(f) == 0);
}

// The loaded records, in an order that does not depend on the sort.
std::vector<std::pair<std::string, std::string>> Records(const logvane::NameCache& cache) {
  std::vector<std::pair<std::string, std::string>> records;
  for (size_t i = 0; i < cache.loadedCount; ++i) {
    records.emplace_back(cache.entries[i].address.view(), cache.entries[i].name.view());
  }
  std::sort(records.begin(), records.end());
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  static const std::string dir = [] {
    // tmpfs when there is one: the save syncs its file, which a disk makes slow.
    char pattern[] = "/dev/shm/logvane-cache-fuzz-XXXXXX";
    if (access("/dev/shm", W_OK) != 0) std::snprintf(pattern, sizeof(pattern), "/tmp/lvcf-XXXXXX");
    Check(mkdtemp(pattern) != nullptr);
    return std::string(pattern);
  }();
  static auto first = std::make_unique<NameCache>();
  static auto second = std::make_unique<NameCache>();
  const std::string input = dir + "/in.dat";
  const std::string saved = dir + "/saved.dat";
  WriteBytes(input, data, size);

  // Thousands of saves a second: the syncs are left out.
  static FaultEnv env;
  env.syncs = false;
  std::string console;
  Console out(&console);
  (void)LoadNameCache(env, *first, input, out);
  Check(first->loadedCount <= kNameCacheCapacity);
  Check(first->usedCount == first->loadedCount);
  for (size_t i = 0; i < first->loadedCount; ++i) {
    const NameCacheEntry& e = first->entries[i];
    Check(!e.address.empty() && e.address.size <= kCacheAddressWidth);
    Check(e.name.size <= kCacheNameWidth);
    if (i > 0) {
      Check(CompareCacheAddresses(first->entries[i - 1].address.view(), e.address.view()) <= 0);
    }
    Check(FindCachedName(*first, e.address.view()).has_value());
  }

  // The round trip: what a save writes loads back as records that were
  // loaded before (a record whose cut address no longer passes the checks
  // may stay behind), and a second round trip changes nothing more.
  (void)SaveNameCache(env, *first, saved, out);
  (void)LoadNameCache(env, *second, saved, out);
  size_t worth = 0;
  for (size_t i = 0; i < first->loadedCount; ++i) {
    if (WorthSaving(first->entries[i])) ++worth;
  }
  Check(second->loadedCount <= worth);
  for (size_t i = 0; i < second->loadedCount; ++i) {
    Check(FindCachedName(*first, second->entries[i].address.view()).has_value());
  }
  (void)SaveNameCache(env, *second, saved, out);
  (void)LoadNameCache(env, *first, saved, out);
  Check(Records(*first) == Records(*second));
  std::remove(saved.c_str());
  return 0;
}
