// The country database of a run (GEOIP=): Tor's geoip text files or an MMDB
// file, told apart by content, loaded once, and the nation of an address.
#ifndef LOGVANE_NAMES_GEOIP_DATABASE_H_
#define LOGVANE_NAMES_GEOIP_DATABASE_H_

#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "names/geoip_ranges.h"
#include "names/ip_address.h"
#include "names/mmdb_database.h"
#include "platform/env.h"

namespace logvane {

inline constexpr std::string_view kLocalNetworkNation = "(local network)";

// Debian's tor-geoipdb: IPFire Location data, CC BY-SA 4.0.
inline constexpr const char* kDefaultGeoipV4 = "/usr/share/tor/geoip";
inline constexpr const char* kDefaultGeoipV6 = "/usr/share/tor/geoip6";

struct GeoDatabase {
  std::vector<std::string> files;  // as named, in load order
  bool isMmdb = false;
  GeoipRanges ranges;  // the text files
  MmdbDatabase mmdb;   // or the MMDB file
};

// A database that cannot be used fails with a Status whose path is the
// file, whose message is one line for the console and whose detail (or
// system error) says more on standard error.

// "PATH: REASON", the console's line.
std::string GeoReason(const Status& failure);
// "PATH: DETAIL", standard error's.
std::string GeoDetail(const Status& failure);

// Whether a GEOIP value asks for a database at all: not empty, not "N".
bool GeoipWanted(std::string_view setting);

// Loads what a GEOIP value names: "Y" (either case) the default tor files,
// anything else one file's path. Fails when the database cannot be used:
// missing, unreadable, empty, truncated or corrupt.
Status LoadGeoDatabase(Env& env, std::string_view setting, GeoDatabase& database);

// The nation of a numeric address: "(local network)" for private, loopback
// and link-local ones, the database's country by name, else "(unknown)".
// Fails when the database turns out broken on the way.
Status NationOfAddress(const GeoDatabase& database, const IpAddress& address,
                       std::string_view& nation);

// What the report says about the database: the files, and what their
// headers or metadata state of maker, date and licence.
std::string GeoAttribution(const GeoDatabase& database);

}  // namespace logvane

#endif  // LOGVANE_NAMES_GEOIP_DATABASE_H_
