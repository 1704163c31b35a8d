#include "names/name_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace logvane {
namespace {

std::unique_ptr<NameCache> EmptyCache() {
  auto cache = std::make_unique<NameCache>();
  ClearNameCache(*cache);
  return cache;
}

void Load(NameCache& cache, std::initializer_list<std::pair<std::string, std::string>> records) {
  for (const auto& [address, name] : records) {
    NameCacheEntry& entry = cache.entries[cache.loadedCount++];
    entry.address.assign(address);
    entry.name.assign(name);
  }
  cache.usedCount = cache.loadedCount;
  SortLoadedPart(cache);
}

TEST(CacheAddressOrder, IsTextualFoldedAndOverTheWholeAddressWidth) {
  struct Case {
    std::string a, b;
    int order;
  };
  const std::string v6a = "2001:db8:1111:2222:3333:4444:5555:6666";
  const Case cases[] = {
      {"10.0.0.9", "9.0.0.1", -1},    // textual, not numeric
      {"10.0.0.1", "10.0.0.10", -1},  // a prefix is the smaller
      {"Host.A.B.1", "host.a.b.1", 0},
      {"host.Z.b.1", "host.a.b.1", 1},
      {v6a + "7", v6a + "8", -1},  // differs only at character 39
      // Equal over the first 45 characters: equal in this order.
      {std::string(45, 'a') + "1", std::string(45, 'a') + "2", 0},
      {"", "1.2.3.4", -1},
  };
  for (const Case& c : cases) {
    int order = CompareCacheAddresses(c.a, c.b);
    EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " vs " << c.b;
    EXPECT_EQ((order > 0) - (order < 0), -CompareCacheAddresses(c.b, c.a));
  }
}

TEST(FindCachedName, SearchesTheLoadedPartOnly) {
  auto cache = EmptyCache();
  Load(*cache, {{"9.0.0.1", "nine.example"},
                {"10.0.0.9", "ten.example"},
                {"2001:db8::1", "six.example"},
                {"Host.A.B.1", "named.example"},
                {"192.0.2.1", "doc.example"}});
  EXPECT_EQ(cache->entries[0].address.view(), "10.0.0.9");  // sorted textually
  AppendNameCacheEntry(*cache, "192.0.2.99", "added.example");

  EXPECT_EQ(FindCachedName(*cache, "9.0.0.1"), "nine.example");
  EXPECT_EQ(FindCachedName(*cache, "10.0.0.9"), "ten.example");
  EXPECT_EQ(FindCachedName(*cache, "2001:DB8::1"), "six.example");
  EXPECT_EQ(FindCachedName(*cache, "host.a.b.1"), "named.example");
  EXPECT_EQ(FindCachedName(*cache, "192.0.2.1"), "doc.example");
  EXPECT_EQ(FindCachedName(*cache, "192.0.2.99"), std::nullopt);  // added in this run
  EXPECT_EQ(FindCachedName(*cache, "192.0.2.10"), std::nullopt);
  EXPECT_EQ(FindCachedName(*cache, "192.0.2."), std::nullopt);
}

TEST(FindCachedName, NeverMatchesALongTextByItsBeginning) {
  auto cache = EmptyCache();
  const std::string address(45, '7');
  Load(*cache, {{address, "sevens.example"}});
  EXPECT_EQ(FindCachedName(*cache, address), "sevens.example");
  EXPECT_EQ(FindCachedName(*cache, address + "7"), std::nullopt);
}

TEST(AppendNameCacheEntry, CutsFieldsAndStopsWhenFull) {
  auto cache = EmptyCache();
  ASSERT_TRUE(AppendNameCacheEntry(*cache, std::string(50, '1'), std::string(70, 'n')));
  EXPECT_EQ(cache->entries[0].address.view(), std::string(45, '1'));
  EXPECT_EQ(cache->entries[0].name.view(), std::string(59, 'n'));
  EXPECT_EQ(cache->usedCount, 1u);
  EXPECT_EQ(cache->loadedCount, 0u);

  cache->usedCount = kNameCacheCapacity - 1;
  EXPECT_FALSE(NameCacheFull(*cache));
  EXPECT_TRUE(AppendNameCacheEntry(*cache, "192.0.2.1", "last.example"));
  EXPECT_TRUE(NameCacheFull(*cache));
  EXPECT_FALSE(AppendNameCacheEntry(*cache, "192.0.2.2", "over.example"));
  EXPECT_EQ(cache->usedCount, kNameCacheCapacity);
  EXPECT_EQ(cache->entries[kNameCacheCapacity - 1].name.view(), "last.example");
}

}  // namespace
}  // namespace logvane
