#include "names/geoip_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "names/country_names.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::string kTestData = std::string(LOGVANE_SOURCE_DIR) + "/src/names/testdata/";

std::string NationIn(const GeoDatabase& database, const char* address) {
  std::string_view nation;
  EXPECT_TRUE(NationOfAddress(database, *ParseIpAddress(address), nation).ok()) << address;
  return std::string(nation);
}

TEST(GeoDatabase, MmdbCountriesWithTheirFallbacks) {
  GeoDatabase db;
  SystemEnv env;
  Status loaded = LoadGeoDatabase(env, kTestData + "country.mmdb", db);
  ASSERT_TRUE(loaded.ok()) << GeoDetail(loaded);
  EXPECT_TRUE(db.isMmdb);
  const std::pair<const char*, const char*> cases[] = {
      {"81.2.69.160", "Great Britain (UK)"},
      {"216.160.83.56", "U.S.A."},
      {"41.0.7.7", "South Africa"},  // registered_country only
      {"5.62.60.1", "Norway"},       // a flat country_code
      {"77.46.200.1", "Serbia"},     // our own name
      {"62.1.2.3", "(unknown)"},     // a code no table knows
      {"9.9.9.9", "(unknown)"},      // not in the database
      {"2001:200::1", "Japan"},
      {"::ffff:89.160.20.1", "Sweden"},
      {"2c0f:f248::5", "South Africa"},
      {"192.168.1.1", "(local network)"},
      {"fe80::1", "(local network)"},
      {"::1", "(local network)"},
  };
  for (const auto& [address, nation] : cases) EXPECT_EQ(NationIn(db, address), nation) << address;
  EXPECT_EQ(GeoAttribution(db), kTestData +
                                    "country.mmdb (Logvane-Test-Country, built 2025-06-15, "
                                    "Logvane test countries, CC BY 4.0)");

  GeoDatabase v4;
  loaded = LoadGeoDatabase(env, kTestData + "country-v4.mmdb", v4);
  ASSERT_TRUE(loaded.ok()) << GeoDetail(loaded);
  EXPECT_EQ(NationIn(v4, "81.2.69.1"), "Great Britain (UK)");
  EXPECT_EQ(NationIn(v4, "2001:200::1"), "(unknown)");  // IPv6 in an IPv4 tree
}

TEST(GeoDatabase, TorTextFromAPathWithItsHeaderInTheAttribution) {
  TempDir dir;
  WriteFile(dir.File("geoip"),
            "# Generated: Thu, 25 Jun 2026 04:33:59 GMT\n# Vendor: IPFire Project\n"
            "# License: CC BY-SA 4.0\n16777216,16777471,AU\n"
            "2001:200::,2001:200:ffff:ffff:ffff:ffff:ffff:ffff,JP\n");
  GeoDatabase db;
  SystemEnv env;
  Status loaded = LoadGeoDatabase(env, dir.File("geoip"), db);
  ASSERT_TRUE(loaded.ok()) << GeoDetail(loaded);
  EXPECT_FALSE(db.isMmdb);
  EXPECT_EQ(NationIn(db, "1.0.0.9"), "Australia");
  EXPECT_EQ(NationIn(db, "2001:200::9"), "Japan");
  EXPECT_EQ(NationIn(db, "1.0.1.0"), "(unknown)");
  EXPECT_EQ(GeoAttribution(db), dir.File("geoip") +
                                    " (IPFire Project, generated Thu, 25 Jun 2026 04:33:59 GMT, "
                                    "licence CC BY-SA 4.0)");
}

TEST(GeoDatabase, UnusableFilesAreRefusedWithAReason) {
  TempDir dir;
  std::string mmdb = ReadFile(kTestData + "country.mmdb");
  std::string broken = mmdb;
  for (int i = 0; i < 6; ++i) broken[i] = '\xff';  // the first node points far outside
  WriteFile(dir.File("broken.mmdb"), broken);
  WriteFile(dir.File("cut.mmdb"), mmdb.substr(0, mmdb.size() - 40));
  WriteFile(dir.File("half.mmdb"), mmdb.substr(0, mmdb.size() / 2));
  std::string badMeta = mmdb;
  badMeta[badMeta.size() - 5] = '\xff';
  WriteFile(dir.File("meta.mmdb"), badMeta);
  WriteFile(dir.File("empty"), "");
  WriteFile(dir.File("overlap"), "1,10,AU\n5,20,DE\n");
  const std::pair<std::string, std::string> cases[] = {
      {dir.File("missing"), dir.File("missing") + ": cannot be opened"},
      {dir.path(), dir.path() + ": cannot be opened"},
      {dir.File("empty"), dir.File("empty") + ": empty file"},
      {dir.File("overlap"), dir.File("overlap") + ": ranges overlap or are out of order at line 2"},
      {dir.File("broken.mmdb"), dir.File("broken.mmdb") + ": MMDB search tree is broken"},
      {dir.File("cut.mmdb"), dir.File("cut.mmdb") + ": MMDB file cannot be opened"},
      {dir.File("meta.mmdb"), dir.File("meta.mmdb") + ": MMDB file cannot be opened"},
      {dir.File("half.mmdb"), dir.File("half.mmdb") + ": MMDB file cannot be opened"},
  };
  for (const auto& [path, reason] : cases) {
    GeoDatabase db;
    SystemEnv env;
    Status failure = LoadGeoDatabase(env, path, db);
    EXPECT_FALSE(failure.ok()) << path;
    EXPECT_EQ(GeoReason(failure), reason);
    EXPECT_NE(GeoDetail(failure), path + ": ") << path;
  }
}

// The installed default database: every country it names gets a name (a
// few stray codes of one range each, like ZZ, are no country).
TEST(GeoDatabase, DefaultTorFilesLoadAndEveryCodeHasAName) {
  struct stat info;
  if (::stat(kDefaultGeoipV4, &info) != 0) GTEST_SKIP() << "tor-geoipdb is not installed";
  GeoDatabase db;
  SystemEnv env;
  Status loaded = LoadGeoDatabase(env, "y", db);
  ASSERT_TRUE(loaded.ok()) << GeoDetail(loaded);
  EXPECT_GT(db.ranges.v4From.size(), 100000u);
  EXPECT_GT(db.ranges.v6From.size(), 100000u);
  std::map<std::string, int> ranges;
  for (const CountryCode& c : db.ranges.v4Code) ++ranges[std::string(c.view())];
  for (const CountryCode& c : db.ranges.v6Code) ++ranges[std::string(c.view())];
  for (const auto& [code, count] : ranges) {
    if (code == "??" || count < 2) continue;
    EXPECT_NE(NationOfCountryCode(code), kUnknownNation) << code;
  }
  EXPECT_NE(GeoAttribution(db).find("licence CC BY-SA 4.0"), std::string::npos);
}

}  // namespace
}  // namespace logvane
