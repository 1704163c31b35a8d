// Country databases in MaxMind's MMDB format (GeoLite2-Country, DB-IP Lite
// Country, IPinfo Lite and the like), read through libmaxminddb from a
// memory map.
#ifndef LOGVANE_NAMES_MMDB_DATABASE_H_
#define LOGVANE_NAMES_MMDB_DATABASE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "names/ip_address.h"

struct MMDB_s;

namespace logvane {

struct MmdbClose {
  void operator()(MMDB_s* mmdb) const;
};

struct MmdbDatabase {
  std::unique_ptr<MMDB_s, MmdbClose> mmdb;
  std::string databaseType;  // from the metadata, e.g. "GeoLite2-Country"
  std::string buildDate;     // yyyy-mm-dd (UTC) of the metadata's build time
  std::string description;   // the English description, where there is one
};

// Opens and checks the database: the metadata, and every record of the
// search tree pointing to a node, to nothing or into the data. False, with a
// short `reason` and a longer `detail`, when it cannot be used.
bool OpenMmdb(const std::string& path, MmdbDatabase& database, std::string& reason,
              std::string& detail);

enum class MmdbOutcome { kFound, kNotFound, kBroken };

// The country code of `address`: country.iso_code, else
// registered_country.iso_code, else a top-level country_code. kBroken, with
// `detail`, when the data on the way is corrupt.
MmdbOutcome FindMmdbCountry(const MmdbDatabase& database, const IpAddress& address, char (&code)[2],
                            std::string& detail);

}  // namespace logvane

#endif  // LOGVANE_NAMES_MMDB_DATABASE_H_
