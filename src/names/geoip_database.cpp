#include "names/geoip_database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/ascii_text.h"
#include "names/country_names.h"

namespace logvane {

namespace {

// The metadata of an MMDB file sits in its last 128 KiB.
constexpr size_t kMmdbTailWidth = 128 * 1024;

struct OpenFile {
  int fd = -1;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
};

bool SystemFailure(GeoFailure& failure, const std::string& path, std::string_view what) {
  int error = errno;
  failure.reason = path + ": " + std::string(what);
  failure.detail = path + ": " + std::strerror(error);
  return false;
}

// Reads `size` bytes at `offset`; false on an error or a file cut short.
bool ReadAt(int fd, std::string& into, size_t size, off_t offset) {
  into.resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, into.data() + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool LoadFile(const std::string& path, GeoDatabase& database, GeoFailure& failure) {
  OpenFile file;
  file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file.fd < 0) return SystemFailure(failure, path, "cannot be opened");
  struct stat info;
  if (::fstat(file.fd, &info) != 0) return SystemFailure(failure, path, "cannot be read");
  if (!S_ISREG(info.st_mode)) {
    failure.reason = path + ": not a file";
    failure.detail = path + ": not a regular file";
    return false;
  }
  size_t size = static_cast<size_t>(info.st_size);
  if (size == 0) {
    failure.reason = path + ": empty file";
    failure.detail = path + ": the file has no bytes";
    return false;
  }
  std::string bytes;
  size_t tail = std::min(size, kMmdbTailWidth);
  if (!ReadAt(file.fd, bytes, tail, static_cast<off_t>(size - tail))) {
    return SystemFailure(failure, path, "cannot be read");
  }
  if (HasMmdbMarker(bytes)) {
    if (!database.files.empty()) {
      failure.reason = path + ": an MMDB file cannot be combined with others";
      failure.detail = failure.reason;
      return false;
    }
    std::string reason;
    std::string detail;
    if (!OpenMmdb(path, database.mmdb, reason, detail)) {
      failure.reason = path + ": " + reason;
      failure.detail = path + ": " + detail;
      return false;
    }
    database.isMmdb = true;
    return true;
  }
  if (size != tail && !ReadAt(file.fd, bytes, size, 0)) {
    return SystemFailure(failure, path, "cannot be read");
  }
  if (std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
    failure.reason = path + ": neither a range list nor an MMDB file";
    failure.detail = path + ": binary data without MMDB metadata (a cut MMDB file?)";
    return false;
  }
  GeoipRangesError error;
  if (!AddGeoipRanges(bytes, database.ranges, error)) {
    failure.reason = path + ": " + error.reason;
    failure.detail = path + ": " + error.reason + ": " + error.detail;
    return false;
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
    case MmdbOutcome::kFound:
      nation = NationOfCountryCode(std::string_view(code, 2));
      return true;
    case MmdbOutcome::kNotFound:
      nation = kUnknownNation;
      return true;
    case MmdbOutcome::kBroken:
      break;
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
