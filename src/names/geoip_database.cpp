#include "names/geoip_database.h"

#include <cerrno>
#include <cstring>

#include "common/ascii_text.h"
#include "names/country_names.h"
#include "platform/file_io.h"

namespace logvane {

namespace {

// How much of a file's start tells an MMDB file (its search tree is binary,
// with NUL bytes) from range text (which has none).
constexpr size_t kSniffWidth = 4096;

bool Fail(GeoFailure& failure, const std::string& path, std::string_view reason,
          std::string_view detail) {
  failure.reason = path + ": " + std::string(reason);
  failure.detail = path + ": " + std::string(detail);
  return false;
}

bool SystemFailure(GeoFailure& failure, const std::string& path, std::string_view reason) {
  int error = errno;
  return Fail(failure, path, reason, error != 0 ? std::strerror(error) : "not a file");
}

// The first bytes of the file, or false when it cannot be opened or read.
bool ReadStart(const std::string& path, std::string& start, GeoFailure& failure) {
  errno = 0;
  int fd = OpenFileForReading(path);
  if (fd < 0) return SystemFailure(failure, path, "cannot be opened");
  start.resize(kSniffWidth);
  ssize_t n = 0;
  size_t got = 0;
  while (got < start.size() && (n = ReadSome(fd, start.data() + got, start.size() - got)) > 0) {
    got += static_cast<size_t>(n);
  }
  bool ok = n >= 0 || got == start.size();
  if (!ok) SystemFailure(failure, path, "cannot be read");
  CloseFile(fd);
  start.resize(got);
  return ok;
}

bool LoadFile(const std::string& path, GeoDatabase& database, GeoFailure& failure) {
  std::string bytes;
  if (!ReadStart(path, bytes, failure)) return false;
  if (bytes.empty()) return Fail(failure, path, "empty file", "the file has no bytes");
  if (bytes.find('\0') != std::string::npos) {
    if (!database.files.empty()) {
      return Fail(failure, path, "an MMDB file cannot be combined with others",
                  "binary data after another database file");
    }
    std::string reason;
    std::string detail;
    if (!OpenMmdb(path, database.mmdb, reason, detail)) return Fail(failure, path, reason, detail);
    database.isMmdb = true;
    return true;
  }
  errno = 0;
  if (!ReadWholeFile(path, &bytes)) return SystemFailure(failure, path, "cannot be read");
  GeoipRangesError error;
  if (!AddGeoipRanges(bytes, database.ranges, error)) {
    return Fail(failure, path, error.reason, error.reason + ": " + error.detail);
  }
  return true;
}

}  // namespace

bool GeoipWanted(std::string_view setting) {
  return !setting.empty() && !EqualsFolded(setting, "N");
}

bool LoadGeoDatabase(std::string_view setting, GeoDatabase& database, GeoFailure& failure) {
  std::vector<std::string> paths;
  if (EqualsFolded(setting, "Y")) {
    paths = {kDefaultGeoipV4, kDefaultGeoipV6};
  } else {
    paths = {std::string(setting)};
  }
  for (const std::string& path : paths) {
    if (!LoadFile(path, database, failure)) return false;
    database.files.push_back(path);
  }
  return true;
}

bool NationOfAddress(const GeoDatabase& database, const IpAddress& address,
                     std::string_view& nation, GeoFailure& failure) {
  if (IsLocalNetwork(address)) {
    nation = kLocalNetworkNation;
    return true;
  }
  if (!database.isMmdb) {
    nation = NationOfCountryCode(FindCountry(database.ranges, address));
    return true;
  }
  char code[2];
  std::string detail;
  switch (FindMmdbCountry(database.mmdb, address, code, detail)) {
    case MmdbOutcome::kFound: nation = NationOfCountryCode(std::string_view(code, 2)); return true;
    case MmdbOutcome::kNotFound: nation = kUnknownNation; return true;
    case MmdbOutcome::kBroken: break;
  }
  const std::string& path = database.files.front();
  failure.reason = path + ": MMDB data is broken";
  failure.detail = path + ": " + detail;
  return false;
}

std::string GeoAttribution(const GeoDatabase& database) {
  std::string text;
  for (const std::string& file : database.files) {
    if (!text.empty()) text += ", ";
    text += file;
  }
  std::vector<std::string> about;
  if (database.isMmdb) {
    if (!database.mmdb.databaseType.empty()) about.push_back(database.mmdb.databaseType);
    about.push_back("built " + database.mmdb.buildDate);
    if (!database.mmdb.description.empty()) about.push_back(database.mmdb.description);
  } else {
    const GeoipRanges& r = database.ranges;
    if (!r.vendor.empty()) about.push_back(r.vendor);
    if (!r.generated.empty()) about.push_back("generated " + r.generated);
    if (!r.licence.empty()) about.push_back("licence " + r.licence);
  }
  for (size_t i = 0; i < about.size(); ++i) text += (i == 0 ? " (" : ", ") + about[i];
  if (!about.empty()) text += ")";
  return text;
}

}  // namespace logvane
