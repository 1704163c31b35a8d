// The country database of a run (GEOIP=): Tor's geoip text files or an MMDB
// file, told apart by content, loaded once, and the nation of an address.
#ifndef LOGVANE_NAMES_GEOIP_DATABASE_H_
#define LOGVANE_NAMES_GEOIP_DATABASE_H_

#include <string>
#include <string_view>
#include <vector>

#include "names/geoip_ranges.h"
#include "names/ip_address.h"
#include "names/mmdb_database.h"

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

struct GeoFailure {
  std::string reason;  // one line for the console
  std::string detail;  // more for standard error
};

// Whether a GEOIP value asks for a database at all: not empty, not "N".
bool GeoipWanted(std::string_view setting);

// Loads what a GEOIP value names: "Y" (either case) the default tor files,
// anything else one file's path. False, with `failure`, when the database
// cannot be used: missing, unreadable, empty, truncated or corrupt.
bool LoadGeoDatabase(std::string_view setting, GeoDatabase& database, GeoFailure& failure);

// The nation of a numeric address: "(local network)" for private, loopback
// and link-local ones, the database's country by name, else "(unknown)".
// False, with `failure`, when the database turns out broken on the way.
bool NationOfAddress(const GeoDatabase& database, const IpAddress& address,
                     std::string_view& nation, GeoFailure& failure);

// What the report says about the database: the files, and what their
// headers or metadata state of maker, date and licence.
std::string GeoAttribution(const GeoDatabase& database);

}  // namespace logvane

#endif  // LOGVANE_NAMES_GEOIP_DATABASE_H_
