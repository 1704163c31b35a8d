// Report names of ISO 3166 country codes, as given by a country database.
#ifndef LOGVANE_NAMES_COUNTRY_NAMES_H_
#define LOGVANE_NAMES_COUNTRY_NAMES_H_

#include <string_view>

#include "names/nations.h"

namespace logvane {

// A code that the top-level-domain table knows gets that table's name ("US"
// gets "U.S.A."), so one report never names a country two ways; the codes
// that table lacks get their ISO 3166 short English name, at most 30
// characters of plain ASCII. Unknown codes ("??", "ZZ", "A1") and anything
// but two letters give "(unknown)". Letter case does not matter.
std::string_view NationOfCountryCode(std::string_view code);

struct CountryName {
  std::string_view code;  // two letters, upper case
  std::string_view name;
};

// The codes the top-level-domain table lacks: assigned after it was made,
// and the regions some databases use (EU, AP, XK).
inline constexpr size_t kExtraCountryCount = 18;
extern const CountryName kExtraCountries[kExtraCountryCount];

}  // namespace logvane

#endif  // LOGVANE_NAMES_COUNTRY_NAMES_H_
