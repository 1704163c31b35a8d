// Reverse name lookup of one numeric address, behind a seam so that tests
// never send a query off the machine.
#ifndef LOGVANE_PLATFORM_RESOLVER_H_
#define LOGVANE_PLATFORM_RESOLVER_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace logvane {

// Given the text of an IPv4 or IPv6 literal, gives the host name the
// resolver knows for it, or none. Called on worker threads, possibly several
// at once, and may block for as long as the resolver takes.
using ReverseResolver = std::function<std::optional<std::string>(const std::string& address)>;

enum class AddressFamily { kNone, kIPv4, kIPv6 };

// Which kind of address literal `text` is: the whole text must be one.
AddressFamily ClassifyAddressLiteral(std::string_view text);

// The system resolver (getnameinfo, which is safe to call from threads).
std::optional<std::string> SystemReverseLookup(const std::string& address);

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_RESOLVER_H_
