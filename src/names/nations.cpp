#include "names/nations.h"

#include <algorithm>
#include <unordered_map>

namespace logvane {

namespace {

// Top-level domains counted as the United States, compared whole.
constexpr std::string_view kUsaCodes[] = {"US", "net", "com", "org", "mil", "edu", "oot", "gov"};

}  // namespace

// Compared in this order; the names are the report's texts, as they stand.
const NationCode kNationCodes[kNationCodeCount] = {
    {"AD", "Andorra"},
    {"AE", "United Arab Emirates"},
    {"AF", "Afghanistan"},
    {"AG", "Antiqua"},
    {"AI", "Anquilla"},
    {"AL", "Albania"},
    {"AM", "Armenia"},
    {"AN", "Netherland Antilles"},
    {"AO", "Angola"},
    {"AQ", "Antarctica"},
    {"AR", "Argentina"},
    {"AS", "American Samoa"},
    {"AT", "Austria"},
    {"AU", "Australia"},
    {"AW", "Aruba"},
    {"AZ", "Azerbaijan"},
    {"BA", "Bosnia-Herzegovina"},
    {"BB", "Barbados"},
    {"BD", "Bangladesh"},
    {"BE", "Belgium"},
    {"BF", "Burkina Faso"},
    {"BG", "Bulgaria"},
    {"BH", "Bahrain"},
    {"BI", "Burundi"},
    {"BJ", "Benin"},
    {"BM", "Bermuda"},
    {"BN", "Brunei Darussalam"},
    {"BO", "Bolivia"},
    {"BR", "Brazil"},
    {"BS", "Bahamas"},
    {"BT", "Bhutan"},
    {"BV", "Bouvet Island"},
    {"BW", "Botswana"},
    {"BY", "Belarus"},
    {"BZ", "Belize"},
    {"CA", "Canada"},
    {"CC", "Cocos Island"},
    {"CF", "Central African Rep."},
    {"CG", "Congo"},
    {"CH", "Switzerland"},
    {"CI", "Ivory Coast"},
    {"CK", "Cook Islands"},
    {"CL", "Chile"},
    {"CM", "Cameroon"},
    {"CN", "China"},
    {"CO", "Columbia"},
    {"CR", "Costa Rica"},
    {"CS", "Czechoslovakia"},
    {"CU", "Cuba"},
    {"CV", "Cape Verde"},
    {"CX", "Christmas Island"},
    {"CY", "Cyprus"},
    {"CZ", "Czech Republic"},
    {"DE", "Germany"},
    {"DJ", "Djibouti"},
    {"DK", "Denmark"},
    {"DM", "Dominica"},
    {"DO", "Dominican Republic"},
    {"DZ", "Algeria"},
    {"EC", "Ecuador"},
    {"EE", "Estonia"},
    {"EG", "Egypt"},
    {"EH", "Western Sahara"},
    {"ER", "Eritrea"},
    {"ES", "Spain"},
    {"ET", "Ethiopia"},
    {"FI", "Finland"},
    {"FJ", "Fiji"},
    {"FK", "Falkland Isl.(Malvinas)"},
    {"FM", "Micronesia"},
    {"FO", "Faroe Islands"},
    {"FR", "France"},
    {"FX", "France (Euro. Ter.)"},
    {"GA", "Gabon"},
    {"GB", "Great Britain (UK)"},
    {"GD", "Grenada"},
    {"GE", "Georgia"},
    {"GF", "Guyana (Fr.)"},
    {"GH", "Ghana"},
    {"GI", "Gibraltar"},
    {"GL", "Greenland"},
    {"GM", "Gambia"},
    {"GN", "Guinea"},
    {"GP", "Guadeloupe (Fr.)"},
    {"GQ", "Equatorial Guinea"},
    {"GR", "Greece"},
    {"GS", "S. Georgia/S. Sandwich Isl."},
    {"GT", "Guatemala"},
    {"GU", "Guam (US)"},
    {"GW", "Guinea Bissau"},
    {"GY", "Guyana"},
    {"HK", "Hong Kong"},
    {"HM", "Heard & McDonald Isl."},
    {"HN", "Honduras"},
    {"HR", "Croatia"},
    {"HT", "Haiti"},
    {"HU", "Hungary"},
    {"ID", "Indonesia"},
    {"IE", "Ireland"},
    {"IL", "Israel"},
    {"IN", "India"},
    {"IO", "Brit. Indian O. Terr."},
    {"IQ", "Iraq"},
    {"IR", "Iran"},
    {"IS", "Iceland"},
    {"IT", "Italy"},
    {"JM", "Jamaica"},
    {"JO", "Jordan"},
    {"JP", "Japan"},
    {"KE", "Kenya"},
    {"KG", "Kyrgyz Republic"},
    {"KH", "Cambodia"},
    {"KI", "Kiribati"},
    {"KM", "Comoros"},
    {"KN", "St.Kitts Nevis Anguilla"},
    {"KP", "Korea (North)"},
    {"KR", "Korea (South)"},
    {"KW", "Kuwait"},
    {"KY", "Cayman Islands"},
    {"KZ", "Kazachstan"},
    {"LA", "Laos"},
    {"LB", "Lebanon"},
    {"LC", "Saint Lucia"},
    {"LI", "Liechtenstein"},
    {"LK", "Sri Lanka"},
    {"LR", "Liberia"},
    {"LS", "Lesotho"},
    {"LT", "Lithuania"},
    {"LU", "Luxemburg"},
    {"LV", "Latvia"},
    {"LY", "Libya"},
    {"MA", "Morocco"},
    {"MC", "Monaco"},
    {"MD", "Moldova"},
    {"MG", "Madagascar"},
    {"MH", "Marshall Islands"},
    {"MK", "Macedonia (former Yugo.)"},
    {"ML", "Mali"},
    {"MM", "Myanmar"},
    {"MN", "Mongolia"},
    {"MO", "Macau"},
    {"MP", "Northern Mariana Isl."},
    {"MQ", "Martinique (Fr.)"},
    {"MR", "Mauritania"},
    {"MS", "Montserrat"},
    {"MT", "Malta"},
    {"MU", "Mauritius"},
    {"MV", "Maldives"},
    {"MW", "Malawi"},
    {"MX", "Mexico"},
    {"MY", "Malaysia"},
    {"MZ", "Mozambique"},
    {"NA", "Namibia"},
    {"NC", "New Caledonia (Fr.)"},
    {"NE", "Niger"},
    {"NF", "Norfolk Island"},
    {"NG", "Nigeria"},
    {"NI", "Nicaragua"},
    {"NL", "Netherlands"},
    {"NO", "Norway"},
    {"NP", "Nepal"},
    {"NR", "Nauru"},
    {"NU", "Niue"},
    {"NZ", "New Zealand"},
    {"OM", "Oman"},
    {"PA", "Panama"},
    {"PE", "Peru"},
    {"PF", "Polynesia (Fr.)"},
    {"PG", "Papua New Guinea"},
    {"PH", "Philippines"},
    {"PK", "Pakistan"},
    {"PL", "Poland"},
    {"PM", "St.Pierre & Miquelon"},
    {"PN", "Pitcairn"},
    {"PR", "Puerto Rico (US)"},
    {"PT", "Portugal"},
    {"PW", "Palau"},
    {"PY", "Paraquay"},
    {"QA", "Qatar"},
    {"RE", "Reunion (Fr.)"},
    {"RO", "Romania"},
    {"RU", "Russian Federation"},
    {"RW", "Rwanda"},
    {"SA", "Saudi Arabia"},
    {"SB", "Solomon Islands"},
    {"SC", "Seychelles"},
    {"SD", "Sudan"},
    {"SE", "Sweden"},
    {"SG", "Singapore"},
    {"SH", "St. Helena"},
    {"SI", "Slovenia"},
    {"SJ", "Svalbard & Jan Mayen Isl."},
    {"SK", "Slovakia"},
    {"SL", "Sierra Leone"},
    {"SM", "San Marino"},
    {"SN", "Senegal"},
    {"SO", "Somalia"},
    {"SR", "Suriname"},
    {"ST", "St.Tome & Principe"},
    {"SU", "Soviet Union"},
    {"SV", "El Salvador"},
    {"SY", "Syria"},
    {"SZ", "Swaziland"},
    {"TC", "Turks & Caicos Isl."},
    {"TD", "Chad"},
    {"TF", "Fr. Southern Terr."},
    {"TG", "Togo"},
    {"TH", "Thailand"},
    {"TJ", "Tadjikistan"},
    {"TK", "Tokelau"},
    {"TM", "Turkmenistan"},
    {"TN", "Tunisia"},
    {"TO", "Tonga"},
    {"TP", "East Timor"},
    {"TR", "Turkey"},
    {"TT", "Trnidad & Tobago"},
    {"TV", "Tuvalu"},
    {"TW", "Taiwan"},
    {"TZ", "Tanzania"},
    {"UA", "Ukraine"},
    {"UG", "Uganda"},
    {"UK", "United Kingdom"},
    {"UM", "US minor outlying isl."},
    {"UY", "Uruguay"},
    {"UZ", "Uzbekistan"},
    {"VA", "Vatican City State"},
    {"VC", "St.Vincent & Grenadines"},
    {"VE", "Venezuela"},
    {"VG", "Virgin Isl. (British)"},
    {"VI", "Virgin Isl. (US)"},
    {"VN", "Vietnam"},
    {"VU", "Vanuatu"},
    {"WF", "Wallis & Futuna Isl."},
    {"WS", "Samoa"},
    {"YE", "Yemen"},
    {"YT", "Mayotte"},
    {"YU", "Yugoslavia"},
    {"ZA", "South Africa"},
    {"ZM", "Zambia"},
    {"ZR", "Zaire"},
    {"ZW", "Zimbabwe"},
};

bool IsUsaCode(std::string_view code) {
  for (std::string_view usa : kUsaCodes) {
    if (EqualsFolded(code, usa)) return true;
  }
  return false;
}

std::string_view ClassifyNation(std::string_view key) {
  size_t dot = key.rfind('.');
  if (dot == std::string_view::npos) return kUnknownNation;
  std::string_view code = key.substr(dot + 1);
  code = code.substr(0, std::min<size_t>(code.size(), 3));
  if (IsUsaCode(code)) return kUsaNation;
  for (const NationCode& nation : kNationCodes) {
    if (EqualsFolded(code, nation.code)) return nation.name;
  }
  return kUnknownNation;
}

namespace {

void ClearNations(NationTally& nations) {
  for (NationEntry& entry : nations.entries) {
    entry.hits = 0;
    entry.name.clear();
  }
  nations.used = 0;
  nations.total = 0.0f;
}

// Adds one user's hits to its nation. Names mostly come from the fixed
// tables, so the entry of each text seen is remembered by its address;
// another text is matched without regard to case.
class NationAdder {
 public:
  explicit NationAdder(NationTally& nations) : nations_(nations) {}
  void Add(std::string_view nation, int64_t hits) {
    nations_.total += static_cast<float>(hits);
    auto known = seen_.find(nation.data());
    size_t i;
    if (known != seen_.end() && nations_.entries[known->second].name.view() == nation) {
      i = known->second;
    } else {
      i = 0;
      while (i < nations_.used && !EqualsFolded(nations_.entries[i].name.view(), nation)) ++i;
      if (i == nations_.used) {
        // At most some 270 names exist, far below the tally's 400 entries.
        if (nations_.used == kNationCapacity) return;
        nations_.entries[i].name.assign(nation);
        ++nations_.used;
      }
      seen_[nation.data()] = i;
    }
    nations_.entries[i].hits += hits;
  }
  // Stable, so nations with equal hits keep the order they were first met.
  void Sort() {
    std::stable_sort(nations_.entries, nations_.entries + nations_.used,
                     [](const NationEntry& a, const NationEntry& b) { return a.hits > b.hits; });
  }

 private:
  NationTally& nations_;
  std::unordered_map<const char*, size_t> seen_;
};

}  // namespace

void TallyNations(const UserTable& users, NationTally& nations) {
  ClearNations(nations);
  NationAdder adder(nations);
  for (size_t slot = 0; slot < kUserCapacity && users.slots[slot].hits > 0; ++slot) {
    const UserEntry& user = users.slots[slot];
    adder.Add(ClassifyNation(user.key.view()), user.hits);
  }
  adder.Sort();
}

Status TallyNationsByAddress(const UserTable& users, const UserAddresses& addresses,
                             const GeoDatabase& database, NationTally& nations) {
  ClearNations(nations);
  NationAdder adder(nations);
  ReadAddressCursor cursor(addresses);
  for (size_t slot = 0; slot < kUserCapacity && users.slots[slot].hits > 0; ++slot) {
    const UserEntry& user = users.slots[slot];
    std::string_view nation;
    if (std::optional<IpAddress> address = cursor.AddressOf(slot, user.key.view())) {
      Status s = NationOfAddress(database, *address, nation);
      if (!s.ok()) return s;
    } else {
      nation = ClassifyNation(user.key.view());
    }
    adder.Add(nation, user.hits);
  }
  adder.Sort();
  return Status::Ok();
}

}  // namespace logvane
