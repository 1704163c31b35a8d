#include "names/country_names.h"

#include "common/ascii_text.h"

namespace logvane {

const CountryName kExtraCountries[kExtraCountryCount] = {
    {"AP", "Asia/Pacific Region"},
    {"AX", "Aland Islands"},
    {"BL", "Saint Barthelemy"},
    {"BQ", "Bonaire, Sint Eustatius, Saba"},
    {"CD", "Congo (Democratic Republic)"},
    {"CW", "Curacao"},
    {"EU", "European Union"},
    {"GG", "Guernsey"},
    {"IM", "Isle of Man"},
    {"JE", "Jersey"},
    {"ME", "Montenegro"},
    {"MF", "Saint Martin (French part)"},
    {"PS", "Palestine, State of"},
    {"RS", "Serbia"},
    {"SS", "South Sudan"},
    {"SX", "Sint Maarten (Dutch part)"},
    {"TL", "Timor-Leste"},
    {"XK", "Kosovo"},
};

std::string_view NationOfCountryCode(std::string_view code) {
  if (code.size() != 2) return kUnknownNation;
  if (EqualsFolded(code, "US")) return kUsaNation;
  for (const NationCode& nation : kNationCodes) {
    if (EqualsFolded(code, nation.code)) return nation.name;
  }
  for (const CountryName& country : kExtraCountries) {
    if (EqualsFolded(code, country.code)) return country.name;
  }
  return kUnknownNation;
}

}  // namespace logvane
