#include "names/ip_address.h"

#include "common/ascii_text.h"

namespace logvane {

namespace {

std::optional<uint32_t> ParseV4(std::string_view text) {
  uint32_t value = 0;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
    size_t start = i;
    uint32_t n = 0;
    while (i < text.size() && IsDigit(text[i]) && i - start < 3) n = n * 10 + (text[i++] - '0');
    if (i == start || n > 255) return std::nullopt;
    value = value << 8 | n;
  }
  if (i != text.size()) return std::nullopt;
  return value;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Ip128> ParseV6(std::string_view text) {
  uint16_t groups[8] = {};
  int count = 0;
  int gap = -1;  // group index where "::" stands
  size_t i = 0;
  if (text.size() >= 2 && text[0] == ':' && text[1] == ':') {
    gap = 0;
    i = 2;
  } else if (!text.empty() && text[0] == ':') {
    return std::nullopt;
  }
  while (i < text.size()) {
    if (count == 8) return std::nullopt;
    size_t start = i;
    uint32_t n = 0;
    while (i < text.size() && i - start < 4 && HexValue(text[i]) >= 0) {
      n = n << 4 | static_cast<uint32_t>(HexValue(text[i++]));
    }
    if (i < text.size() && text[i] == '.') {
      // A trailing dotted IPv4 fills the last two groups.
      if (count > 6) return std::nullopt;
      std::optional<uint32_t> v4 = ParseV4(text.substr(start));
      if (!v4) return std::nullopt;
      groups[count++] = static_cast<uint16_t>(*v4 >> 16);
      groups[count++] = static_cast<uint16_t>(*v4);
      i = text.size();
      break;
    }
    if (i == start) return std::nullopt;
    groups[count++] = static_cast<uint16_t>(n);
    if (i == text.size()) break;
    if (text[i] != ':') return std::nullopt;
    ++i;
    if (i < text.size() && text[i] == ':') {
      if (gap >= 0) return std::nullopt;
      gap = count;
      ++i;
    } else if (i == text.size()) {
      return std::nullopt;  // a single trailing colon
    }
  }
  if (gap < 0 && count != 8) return std::nullopt;
  if (gap >= 0 && count > 7) return std::nullopt;
  uint16_t full[8] = {};
  int tail = count - (gap < 0 ? count : gap);
  int head = count - tail;
  for (int g = 0; g < head; ++g) full[g] = groups[g];
  for (int g = 0; g < tail; ++g) full[8 - tail + g] = groups[head + g];
  Ip128 value;
  for (int g = 0; g < 4; ++g) value.high = value.high << 16 | full[g];
  for (int g = 4; g < 8; ++g) value.low = value.low << 16 | full[g];
  return value;
}

}  // namespace

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
  if (text.empty() || text.size() > 64) return std::nullopt;
  if (std::optional<uint32_t> v4 = ParseV4(text)) return IpAddress{true, Ip128{0, *v4}};
  // Some servers and proxies write IPv6 clients in brackets.
  if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  size_t zone = text.find('%');
  if (zone != std::string_view::npos) {
    if (zone + 1 == text.size()) return std::nullopt;
    text = text.substr(0, zone);
  }
  std::optional<Ip128> v6 = ParseV6(text);
  if (!v6) return std::nullopt;
  if (v6->high == 0 && (v6->low >> 32) == 0xffff) {
    return IpAddress{true, Ip128{0, v6->low & 0xffffffffu}};
  }
  return IpAddress{false, *v6};
}

bool IsLocalNetwork(const IpAddress& address) {
  if (address.isV4) {
    uint32_t a = address.v4();
    return (a >> 24) == 10 || (a >> 24) == 127 || (a >> 20) == (172u << 4 | 1) ||
           (a >> 16) == (192u << 8 | 168) || (a >> 16) == (169u << 8 | 254) ||
           (a >> 22) == (100u << 2 | 1);
  }
  uint64_t high = address.value.high;
  bool loopback = high == 0 && address.value.low == 1;
  bool uniqueLocal = (high >> 57) == (0xfc00u >> 9);
  bool linkLocal = (high >> 54) == (0xfe80u >> 6);
  return loopback || uniqueLocal || linkLocal;
}

}  // namespace logvane
