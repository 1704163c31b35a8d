#include "names/country_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/ascii_text.h"

namespace logvane {
namespace {

TEST(NationOfCountryCode, TableNamesFirstThenOurOwnElseUnknown) {
  const std::pair<const char*, const char*> cases[] = {
      {"US", "U.S.A."},         {"us", "U.S.A."},     {"GB", "Great Britain (UK)"},
      {"UK", "United Kingdom"}, {"de", "Germany"},    {"CO", "Columbia"},
      {"RS", "Serbia"},         {"ME", "Montenegro"}, {"EU", "European Union"},
      {"XK", "Kosovo"},         {"??", "(unknown)"},  {"ZZ", "(unknown)"},
      {"A1", "(unknown)"},      {"", "(unknown)"},    {"DEU", "(unknown)"},
  };
  for (const auto& [code, nation] : cases) EXPECT_EQ(NationOfCountryCode(code), nation) << code;
}

TEST(NationOfCountryCode, OurCodesAndNamesNeverClashWithTheTable) {
  std::set<std::string> tableNames{Lowercased(kUsaNation), Lowercased(kUnknownNation)};
  for (const NationCode& n : kNationCodes) tableNames.insert(Lowercased(n.name));
  std::string_view previous;
  for (const CountryName& c : kExtraCountries) {
    EXPECT_GT(c.code, previous);
    previous = c.code;
    EXPECT_EQ(NationOfCountryCode(c.code), c.name);  // not shadowed by the table
    EXPECT_EQ(tableNames.count(Lowercased(c.name)), 0u) << c.name;
    EXPECT_LE(c.name.size(), 30u) << c.name;
  }
}

}  // namespace
}  // namespace logvane
