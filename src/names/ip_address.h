// Numeric client addresses as the country databases see them: IPv4 and IPv6
// parsed from their usual text forms into one 128-bit value.
#ifndef LOGVANE_NAMES_IP_ADDRESS_H_
#define LOGVANE_NAMES_IP_ADDRESS_H_

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace logvane {

// 128 bits, most significant half first, so that the default ordering is
// the numeric one. An IPv4 address keeps its 32 bits in `low`.
struct Ip128 {
  uint64_t high = 0;
  uint64_t low = 0;
  friend constexpr auto operator<=>(const Ip128&, const Ip128&) = default;
};

struct IpAddress {
  bool isV4 = false;
  Ip128 value;
  uint32_t v4() const { return static_cast<uint32_t>(value.low); }
};

// Dotted IPv4 ("192.0.2.1", four decimal parts of at most three digits,
// each 0-255) or IPv6 in any of its text forms ("2001:db8::1", "::",
// "::ffff:192.0.2.1"), optionally in brackets ("[2001:db8::1]") or with a
// zone ("fe80::1%eth0"). An IPv6 address that maps an IPv4 one
// (::ffff:a.b.c.d) is given as that IPv4 address. Anything else, host names
// included, gives nothing.
std::optional<IpAddress> ParseIpAddress(std::string_view text);

// Private (10/8, 172.16/12, 192.168/16, 100.64/10 shared, fc00::/7 unique
// local), loopback (127/8, ::1) or link-local (169.254/16, fe80::/10): an
// address no public database places in a country.
bool IsLocalNetwork(const IpAddress& address);

}  // namespace logvane

#endif  // LOGVANE_NAMES_IP_ADDRESS_H_
