// Country ranges in the text format of Tor's geoip files (Debian's
// tor-geoipdb): one range a line, "FROM,TO,CC", where IPv4 bounds are 32-bit
// integers (dotted text is taken too) and IPv6 bounds are IPv6 text; "#"
// starts a comment; "??" marks ranges of no known country. Held as sorted
// arrays and searched by halves.
#ifndef LOGVANE_NAMES_GEOIP_RANGES_H_
#define LOGVANE_NAMES_GEOIP_RANGES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "names/ip_address.h"

namespace logvane {

// Two upper-case letters, or "??".
struct CountryCode {
  char letters[2];
  std::string_view view() const { return std::string_view(letters, 2); }
};

struct GeoipRanges {
  // Each family sorted by `from`, no two ranges sharing an address.
  std::vector<uint32_t> v4From, v4To;
  std::vector<CountryCode> v4Code;
  std::vector<Ip128> v6From, v6To;
  std::vector<CountryCode> v6Code;
  // What the files' comment headers say about the data ("Generated:",
  // "Vendor:", "License:" lines), the first of each found.
  std::string generated;
  std::string vendor;
  std::string licence;
};

struct GeoipRangesError {
  size_t line = 0;     // 1-based line of the file where it went wrong
  std::string reason;  // short, for the console
  std::string detail;  // the offending text, for standard error
};

// Adds the ranges of one file's text to `ranges`, after those of files read
// before. False, with `error` filled, when a line is not a range, a range
// ends before it starts, ranges of one family are out of order or overlap
// (also across files), or the text holds no range at all; `ranges` is then
// unspecified.
bool AddGeoipRanges(std::string_view text, GeoipRanges& ranges, GeoipRangesError& error);

// The country code of the range holding `address`, or empty when no range
// holds it (or it holds "??").
std::string_view FindCountry(const GeoipRanges& ranges, const IpAddress& address);

}  // namespace logvane

#endif  // LOGVANE_NAMES_GEOIP_RANGES_H_
