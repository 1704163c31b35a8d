// Users by nation: the top-level domain of a user's host name names its
// nation through a fixed table; nothing is looked up anywhere.
#ifndef LOGVANE_NAMES_NATIONS_H_
#define LOGVANE_NAMES_NATIONS_H_

#include <cstddef>
#include <string_view>

#include "names/geoip_database.h"
#include "names/user_addresses.h"
#include "tally/tally_tables.h"

namespace logvane {

inline constexpr std::string_view kUnknownNation = "(unknown)";
inline constexpr std::string_view kUsaNation = "U.S.A.";

struct NationCode {
  std::string_view code;  // two letters, upper case
  std::string_view name;
};

inline constexpr size_t kNationCodeCount = 241;
extern const NationCode kNationCodes[kNationCodeCount];

// Whether a top-level label, cut to three characters, is one of the group
// that stands for the U.S.A. (compared without regard to case).
bool IsUsaCode(std::string_view code);

// The nation of a user key: its text after the last dot, cut to three
// characters, compared without regard to case, first with the U.S.A. group,
// then with each two-letter code in table order. "(unknown)" otherwise.
std::string_view ClassifyNation(std::string_view key);

// Fills `nations` from the users in use (from the first slot while hits >
// 0): each user's hits go to its nation and to the total. Then sorts the
// nations by hits, descending.
void TallyNations(const UserTable& users, NationTally& nations);

// The same, but a user that was a numeric address when the log was read
// (`addresses` knows those whose keys became names) gets the nation of that
// address in `database`; the other users keep the top-level-domain rule.
// Fails when the database turned out broken midway; the tally is then
// incomplete.
Status TallyNationsByAddress(const UserTable& users, const UserAddresses& addresses,
                             const GeoDatabase& database, NationTally& nations);

}  // namespace logvane

#endif  // LOGVANE_NAMES_NATIONS_H_
