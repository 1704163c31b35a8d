#include "names/geoip_database.h"

#include <cstring>

#include "common/ascii_text.h"
#include "names/country_names.h"

namespace logvane {

namespace {

// How much of a file's start tells an MMDB file (its search tree is binary,
// with NUL bytes) from range text (which has none).
constexpr size_t kSniffWidth = 4096;

Status Fail(const std::string& path, std::string_view reason, std::string_view detail) {
  return Status::Invalid(path, {}, std::string(reason)).WithDetail(std::string(detail));
}

Status SystemFailure(const Status& s, const std::string& path, std::string_view reason) {
  return Status::FromErrno(s.sysError(), path, std::string(reason));
}

// The first bytes of the file.
Status ReadStart(Env& env, const std::string& path, std::string& start) {
  std::unique_ptr<SequentialFile> file;
  Status s = env.OpenForReading(path, &file);
  if (!s.ok()) return SystemFailure(s, path, "cannot be opened");
  start.resize(kSniffWidth);
  size_t got = 0;
  while (got < start.size()) {
    size_t n = 0;
    s = file->Read(start.data() + got, start.size() - got, &n);
    if (!s.ok()) return SystemFailure(s, path, "cannot be read");
    if (n == 0) break;
    got += n;
  }
  start.resize(got);
  return Status::Ok();
}

Status LoadFile(Env& env, const std::string& path, GeoDatabase& database) {
  std::string bytes;
  Status s = ReadStart(env, path, bytes);
  if (!s.ok()) return s;
  if (bytes.empty()) return Fail(path, "empty file", "the file has no bytes");
  if (bytes.find('\0') != std::string::npos) {
    if (!database.files.empty()) {
      return Fail(path, "an MMDB file cannot be combined with others",
                  "binary data after another database file");
    }
    std::string reason;
    std::string detail;
    if (!OpenMmdb(path, database.mmdb, reason, detail)) return Fail(path, reason, detail);
    database.isMmdb = true;
    return Status::Ok();
  }
  s = ReadWholeFile(env, path, &bytes);
  if (!s.ok()) return SystemFailure(s, path, "cannot be read");
  GeoipRangesError error;
  if (!AddGeoipRanges(bytes, database.ranges, error)) {
    return Fail(path, error.reason, error.reason + ": " + error.detail);
  }
  return Status::Ok();
}

}  // namespace

bool GeoipWanted(std::string_view setting) {
  return !setting.empty() && !EqualsFolded(setting, "N");
}

std::string GeoReason(const Status& failure) { return failure.path() + ": " + failure.message(); }

std::string GeoDetail(const Status& failure) {
  if (!failure.detail().empty()) return failure.path() + ": " + failure.detail();
  return failure.path() + ": " +
         (failure.sysError() != 0 ? std::strerror(failure.sysError()) : "not a file");
}

Status LoadGeoDatabase(Env& env, std::string_view setting, GeoDatabase& database) {
  std::vector<std::string> paths;
  if (EqualsFolded(setting, "Y")) {
    paths = {kDefaultGeoipV4, kDefaultGeoipV6};
  } else {
    paths = {std::string(setting)};
  }
  for (const std::string& path : paths) {
    Status s = LoadFile(env, path, database);
    if (!s.ok()) return s;
    database.files.push_back(path);
  }
  return Status::Ok();
}

Status NationOfAddress(const GeoDatabase& database, const IpAddress& address,
                       std::string_view& nation) {
  if (IsLocalNetwork(address)) {
    nation = kLocalNetworkNation;
    return Status::Ok();
  }
  if (!database.isMmdb) {
    nation = NationOfCountryCode(FindCountry(database.ranges, address));
    return Status::Ok();
  }
  char code[2];
  std::string detail;
  switch (FindMmdbCountry(database.mmdb, address, code, detail)) {
    case MmdbOutcome::kFound:
      nation = NationOfCountryCode(std::string_view(code, 2));
      return Status::Ok();
    case MmdbOutcome::kNotFound: nation = kUnknownNation; return Status::Ok();
    case MmdbOutcome::kBroken: break;
  }
  return Status::Corrupt(database.files.front(), {}, "MMDB data is broken").WithDetail(detail);
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
