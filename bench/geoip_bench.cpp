// Times nations by address with the default database (Debian's
// tor-geoipdb): loading /usr/share/tor/geoip and geoip6, then classifying
// 50,000 users (9 in 10 IPv4, 1 in 10 IPv6, every fifth one translated to a
// host name). Prints the best of five runs of each, and their sum. Given an
// MMDB file, times opening it (a memory map and a pass over its search
// tree) and classifying the same users with it.
//   build/geoip_bench [MMDB]
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "names/geoip_database.h"
#include "names/nations.h"

using namespace logvane;

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::string V4Text(uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 255) + "." +
         std::to_string(a >> 8 & 255) + "." + std::to_string(a & 255);
}

std::string V6Text(const Ip128& a) {
  char text[64];
  std::snprintf(text, sizeof(text), "%x:%x:%x:%x:%x:%x:%x:%x", static_cast<unsigned>(a.high >> 48),
                static_cast<unsigned>(a.high >> 32 & 0xffff),
                static_cast<unsigned>(a.high >> 16 & 0xffff),
                static_cast<unsigned>(a.high & 0xffff), static_cast<unsigned>(a.low >> 48),
                static_cast<unsigned>(a.low >> 32 & 0xffff),
                static_cast<unsigned>(a.low >> 16 & 0xffff), static_cast<unsigned>(a.low & 0xffff));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  double bestLoad = 1e9;
  auto database = std::make_unique<GeoDatabase>();
  for (int run = 0; run < 5; ++run) {
    auto fresh = std::make_unique<GeoDatabase>();
    SystemEnv env;
    auto start = std::chrono::steady_clock::now();
    Status failure = LoadGeoDatabase(env, "Y", *fresh);
    if (!failure.ok()) {
      std::printf("default database not usable: %s\n", GeoDetail(failure).c_str());
      return 1;
    }
    bestLoad = std::min(bestLoad, Seconds(std::chrono::steady_clock::now() - start));
    database = std::move(fresh);
  }
  const GeoipRanges& ranges = database->ranges;

  // Users at addresses inside the database's ranges, so each search runs to
  // the end.
  auto users = std::make_unique<UserTable>();
  UserAddresses addresses;
  std::mt19937_64 random(42);
  for (size_t slot = 0; slot < kUserCapacity; ++slot) {
    UserEntry& user = users->slots[slot];
    user.hits = static_cast<int64_t>(kUserCapacity - slot);
    std::string key;
    IpAddress address;
    if (slot % 10 == 9) {
      size_t i = random() % ranges.v6From.size();
      address = IpAddress{false, ranges.v6From[i]};
      address.value.low += random() % 4096;
      key = V6Text(address.value);
    } else {
      size_t i = random() % ranges.v4From.size();
      uint32_t a =
          ranges.v4From[i] +
          static_cast<uint32_t>(random() % (uint64_t{ranges.v4To[i]} - ranges.v4From[i] + 1));
      address = IpAddress{true, Ip128{0, a}};
      key = V4Text(a);
    }
    if (slot % 5 == 0) {
      addresses.translated.push_back(SlotAddress{static_cast<uint32_t>(slot), address});
      key = "host" + std::to_string(slot) + ".example.net";
    }
    user.key.assign(key);
  }
  users->used = kUserCapacity;

  auto nations = std::make_unique<NationTally>();
  double bestTally = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto start = std::chrono::steady_clock::now();
    (void)TallyNationsByAddress(*users, addresses, *database, *nations);
    bestTally = std::min(bestTally, Seconds(std::chrono::steady_clock::now() - start));
  }
  std::printf("load tor geoip + geoip6 (%zu + %zu ranges): %.3f s\n", ranges.v4From.size(),
              ranges.v6From.size(), bestLoad);
  std::printf("classify %zu users into %zu nations: %.3f s\n", kUserCapacity, nations->used,
              bestTally);
  std::printf("together: %.3f s\n", bestLoad + bestTally);
  std::printf("top nation: %s (%lld hits)\n", std::string(nations->entries[0].name.view()).c_str(),
              static_cast<long long>(nations->entries[0].hits));
  if (argc < 2) return 0;

  double bestOpen = 1e9;
  double bestMmdbTally = 1e9;
  for (int run = 0; run < 5; ++run) {
    GeoDatabase mmdb;
    SystemEnv env;
    auto start = std::chrono::steady_clock::now();
    Status failure = LoadGeoDatabase(env, argv[1], mmdb);
    if (!failure.ok() || !mmdb.isMmdb) {
      std::printf("%s: not a usable MMDB file: %s\n", argv[1], GeoDetail(failure).c_str());
      return 1;
    }
    bestOpen = std::min(bestOpen, Seconds(std::chrono::steady_clock::now() - start));
    start = std::chrono::steady_clock::now();
    (void)TallyNationsByAddress(*users, addresses, mmdb, *nations);
    bestMmdbTally = std::min(bestMmdbTally, Seconds(std::chrono::steady_clock::now() - start));
  }
  std::printf("open %s: %.3f s\n", argv[1], bestOpen);
  std::printf("classify %zu users with it into %zu nations: %.3f s\n", kUserCapacity, nations->used,
              bestMmdbTally);
  return 0;
}
