#include "names/mmdb_database.h"

#ifdef LOGVANE_HAVE_MAXMINDDB

#include <maxminddb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// yyyy-mm-dd of a count of seconds since 1970 (proleptic Gregorian, UTC).
std::string DateOfEpoch(uint64_t seconds) {
  int64_t days = static_cast<int64_t>(seconds / 86400) + 719468;
  int64_t era = days / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[80];
  std::snprintf(text, sizeof(text), "%04lld-%02lld-%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day));
  return text;
}

// Printable ASCII only, cut: the metadata texts end up in the report.
std::string Plain(const char* text, size_t width) {
  std::string out;
  for (size_t i = 0; text != nullptr && text[i] != '\0' && out.size() < width; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    out.push_back(c >= 32 && c < 127 ? static_cast<char>(c) : '?');
  }
  return out;
}

bool Fail(std::string& reason, std::string& detail, std::string_view why, std::string more) {
  reason = why;
  detail = std::move(more);
  return false;
}

// The two-letter string at `path` under `entry`: 1 found, 0 absent, -1 broken.
int CodeAt(MMDB_entry_s& entry, const char* const* path, char (&code)[2], std::string& detail) {
  MMDB_entry_data_s data;
  int status = MMDB_aget_value(&entry, &data, path);
  if (status == MMDB_LOOKUP_PATH_DOES_NOT_MATCH_DATA_ERROR ||
      status == MMDB_INVALID_LOOKUP_PATH_ERROR) {
    return 0;
  }
  if (status != MMDB_SUCCESS) {
    detail = MMDB_strerror(status);
    return -1;
  }
  if (!data.has_data || data.type != MMDB_DATA_TYPE_UTF8_STRING || data.data_size != 2) return 0;
  code[0] = UpperChar(data.utf8_string[0]);
  code[1] = UpperChar(data.utf8_string[1]);
  return 1;
}

}  // namespace

void MmdbClose::operator()(MMDB_s* mmdb) const {
  MMDB_close(mmdb);
  delete mmdb;
}

bool OpenMmdb(const std::string& path, MmdbDatabase& database, std::string& reason,
              std::string& detail) {
  auto mmdb = std::make_unique<MMDB_s>();
  int status = MMDB_open(path.c_str(), MMDB_MODE_MMAP, mmdb.get());
  if (status != MMDB_SUCCESS) {
    return Fail(reason, detail, "MMDB file cannot be opened",
                std::string(MMDB_strerror(status)) +
                    (status == MMDB_IO_ERROR ? std::string(": ") + std::strerror(errno) : ""));
  }
  database.mmdb.reset(mmdb.release());
  const MMDB_metadata_s& meta = database.mmdb->metadata;
  // Every record must name a node, nothing, or a place in the data; a
  // lookup that met a broken one would stop midway.
  for (uint32_t node = 0; node < meta.node_count; ++node) {
    MMDB_search_node_s record;
    status = MMDB_read_node(database.mmdb.get(), node, &record);
    if (status != MMDB_SUCCESS || record.left_record_type == MMDB_RECORD_TYPE_INVALID ||
        record.right_record_type == MMDB_RECORD_TYPE_INVALID) {
      return Fail(reason, detail, "MMDB search tree is broken",
                  "node " + std::to_string(node) + " of " + std::to_string(meta.node_count) +
                      (status != MMDB_SUCCESS ? std::string(": ") + MMDB_strerror(status)
                                              : std::string(": record points outside the file")));
    }
  }
  database.databaseType = Plain(meta.database_type, 60);
  database.buildDate = DateOfEpoch(meta.build_epoch);
  for (size_t i = 0; i < meta.description.count; ++i) {
    const MMDB_description_s* d = meta.description.descriptions[i];
    if (d != nullptr && d->language != nullptr && std::strcmp(d->language, "en") == 0) {
      database.description = Plain(d->description, 200);
    }
  }
  return true;
}

MmdbOutcome FindMmdbCountry(const MmdbDatabase& database, const IpAddress& address, char (&code)[2],
                            std::string& detail) {
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  const sockaddr* where;
  if (address.isV4) {
    v4.sin_family = AF_INET;
    uint32_t a = address.v4();
    unsigned char bytes[4] = {static_cast<unsigned char>(a >> 24),
                              static_cast<unsigned char>(a >> 16),
                              static_cast<unsigned char>(a >> 8), static_cast<unsigned char>(a)};
    std::memcpy(&v4.sin_addr, bytes, 4);
    where = reinterpret_cast<const sockaddr*>(&v4);
  } else {
    v6.sin6_family = AF_INET6;
    for (int i = 0; i < 8; ++i) {
      v6.sin6_addr.s6_addr[i] = static_cast<unsigned char>(address.value.high >> (56 - 8 * i));
      v6.sin6_addr.s6_addr[8 + i] = static_cast<unsigned char>(address.value.low >> (56 - 8 * i));
    }
    where = reinterpret_cast<const sockaddr*>(&v6);
  }
  int status = MMDB_SUCCESS;
  MMDB_lookup_result_s result = MMDB_lookup_sockaddr(database.mmdb.get(), where, &status);
  if (status == MMDB_IPV6_LOOKUP_IN_IPV4_DATABASE_ERROR) return MmdbOutcome::kNotFound;
  if (status != MMDB_SUCCESS) {
    detail = MMDB_strerror(status);
    return MmdbOutcome::kBroken;
  }
  if (!result.found_entry) return MmdbOutcome::kNotFound;
  static const char* const kCountry[] = {"country", "iso_code", nullptr};
  static const char* const kRegistered[] = {"registered_country", "iso_code", nullptr};
  static const char* const kFlat[] = {"country_code", nullptr};
  for (const char* const* path : {kCountry, kRegistered, kFlat}) {
    int found = CodeAt(result.entry, path, code, detail);
    if (found < 0) return MmdbOutcome::kBroken;
    if (found > 0) return MmdbOutcome::kFound;
  }
  return MmdbOutcome::kNotFound;
}

}  // namespace logvane

#else  // Built without libmaxminddb: MMDB files are refused with the reason.

namespace logvane {

void MmdbClose::operator()(MMDB_s*) const {}

bool OpenMmdb(const std::string& path, MmdbDatabase&, std::string& reason, std::string& detail) {
  reason = "this build reads no MMDB files (it was built without libmaxminddb-dev)";
  detail = path + ": " + reason;
  return false;
}

MmdbOutcome FindMmdbCountry(const MmdbDatabase&, const IpAddress&, char (&)[2],
                            std::string& detail) {
  detail = "no MMDB support in this build";
  return MmdbOutcome::kBroken;
}

}  // namespace logvane

#endif  // LOGVANE_HAVE_MAXMINDDB
