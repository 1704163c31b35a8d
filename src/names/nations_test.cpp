#include "names/nations.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tally/tally_tables.h"

namespace logvane {
namespace {

TEST(ClassifyNation, UsesTheTopLevelDomainCutToThreeCharacters) {
  const std::pair<const char*, const char*> cases[] = {
      {"www.example.com", "U.S.A."},
      {"a.b.COM", "U.S.A."},
      {"host.us", "U.S.A."},
      {"host.US", "U.S.A."},
      {"h.net", "U.S.A."},
      {"h.org", "U.S.A."},
      {"h.mil", "U.S.A."},
      {"h.edu", "U.S.A."},
      {"h.gov", "U.S.A."},
      {"h.oot", "U.S.A."},
      {"h.comx", "U.S.A."},     // cut to "com"
      {"h.network", "U.S.A."},  // cut to "net"
      {"h.usa", "(unknown)"},   // keeps three letters
      {"h.uk", "United Kingdom"},
      {"h.gb", "Great Britain (UK)"},
      {"h.int", "(unknown)"},
      {"h.arpa", "(unknown)"},
      {"h.info", "(unknown)"},
      {"h.dex", "(unknown)"},  // never matched as a prefix
      {"localhost", "(unknown)"},
      {"host.example.", "(unknown)"},
      {"192.0.2.1", "(unknown)"},
      {"2001:db8::1", "(unknown)"},
      {"", "(unknown)"},
      {"x.De", "Germany"},
      {"x.DE", "Germany"},
      {"x.ag", "Antiqua"},
      {"x.ai", "Anquilla"},
      {"x.co", "Columbia"},
      {"x.fk", "Falkland Isl.(Malvinas)"},
      {"x.kz", "Kazachstan"},
      {"x.lu", "Luxemburg"},
      {"x.py", "Paraquay"},
      {"x.tj", "Tadjikistan"},
      {"x.tt", "Trnidad & Tobago"},
      {"x.um", "US minor outlying isl."},
      {"x.ad", "Andorra"},
      {"x.zw", "Zimbabwe"},
  };
  for (const auto& [key, nation] : cases) EXPECT_EQ(ClassifyNation(key), nation) << key;
}

TEST(ClassifyNation, EveryCodeOfTheTableNamesItsOwnNation) {
  std::string_view previous;
  for (const NationCode& nation : kNationCodes) {
    ASSERT_EQ(nation.code.size(), 2u);
    EXPECT_LT(previous, nation.code);  // distinct, in order
    previous = nation.code;
    EXPECT_LE(nation.name.size(), 30u);
    std::string lower = {FoldChar(nation.code[0]), FoldChar(nation.code[1])};
    EXPECT_EQ(ClassifyNation("host." + lower), nation.name);
    EXPECT_EQ(ClassifyNation("host." + std::string(nation.code)), nation.name);
  }
  EXPECT_EQ(kNationCodes[0].code, "AD");
  EXPECT_EQ(kNationCodes[kNationCodeCount - 1].name, "Zimbabwe");
}

TEST(TallyNations, AddsEachUsersHitsToItsNationAndSorts) {
  auto tallies = std::make_unique<Tallies>();
  UserTable& users = tallies->users;
  NationTally& nations = tallies->nations;
  TallyNations(users, nations);
  EXPECT_EQ(nations.used, 0u);
  EXPECT_EQ(nations.total, 0.0f);

  const std::pair<const char*, int64_t> counted[] = {{"a.example.de", 3},  {"b.example.fr", 5},
                                                     {"c.example.DE", 4},  {"192.0.2.1", 1},
                                                     {"d.example.com", 2}, {"alice", 2}};
  for (const auto& [key, hits] : counted) {
    for (int64_t i = 0; i < hits; ++i) CountText(users, key, 1);
  }
  TallyNations(users, nations);
  ASSERT_EQ(nations.used, 4u);
  EXPECT_EQ(nations.total, 17.0f);
  EXPECT_EQ(nations.entries[0].name.view(), "Germany");
  EXPECT_EQ(nations.entries[0].hits, 7);
  EXPECT_EQ(nations.entries[1].name.view(), "France");
  EXPECT_EQ(nations.entries[1].hits, 5);
  EXPECT_EQ(nations.entries[2].name.view(), "(unknown)");  // an address and a bare name
  EXPECT_EQ(nations.entries[2].hits, 3);
  EXPECT_EQ(nations.entries[3].name.view(), "U.S.A.");
  EXPECT_EQ(nations.entries[3].hits, 2);
  EXPECT_EQ(nations.entries[4].hits, 0);
}

}  // namespace
}  // namespace logvane
