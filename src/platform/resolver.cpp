#include "platform/resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace logvane {

namespace {
constexpr size_t kLongestLiteral = 45;  // INET6_ADDRSTRLEN - 1
}

AddressFamily ClassifyAddressLiteral(std::string_view text) {
  // The text must be the whole literal: no terminator inside it, nothing
  // after it, so a key such as "1.2.3.4<NUL>x" never passes as 1.2.3.4.
  if (text.empty() || text.size() > kLongestLiteral || text.find('\0') != std::string_view::npos) {
    return AddressFamily::kNone;
  }
  char buffer[kLongestLiteral + 1];
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  unsigned char bytes[sizeof(in6_addr)];
  if (inet_pton(AF_INET, buffer, bytes) == 1) return AddressFamily::kIPv4;
  if (inet_pton(AF_INET6, buffer, bytes) == 1) return AddressFamily::kIPv6;
  return AddressFamily::kNone;
}

std::optional<std::string> SystemReverseLookup(const std::string& address) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  switch (ClassifyAddressLiteral(address)) {
    case AddressFamily::kIPv4: {
      auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
      v4->sin_family = AF_INET;
      if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) != 1) return std::nullopt;
      length = sizeof(sockaddr_in);
      break;
    }
    case AddressFamily::kIPv6: {
      auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
      v6->sin6_family = AF_INET6;
      if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) != 1) return std::nullopt;
      length = sizeof(sockaddr_in6);
      break;
    }
    case AddressFamily::kNone: return std::nullopt;
  }
  char host[NI_MAXHOST];
  int rc = getnameinfo(reinterpret_cast<sockaddr*>(&storage), length, host, sizeof(host), nullptr,
                       0, NI_NAMEREQD);
  if (rc != 0 || host[0] == '\0') return std::nullopt;
  return std::string(host);
}

}  // namespace logvane
