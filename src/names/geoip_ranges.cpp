#include "names/geoip_ranges.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// The longest piece of a bad line shown on standard error.
constexpr size_t kShownWidth = 80;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// A bound: a decimal 32-bit integer, or address text.
std::optional<IpAddress> ParseBound(std::string_view text) {
  if (!text.empty() && std::all_of(text.begin(), text.end(), IsDigit)) {
    if (text.size() > 10) return std::nullopt;
    uint64_t n = 0;
    for (char c : text) n = n * 10 + static_cast<uint64_t>(c - '0');
    if (n > UINT32_MAX) return std::nullopt;
    return IpAddress{true, Ip128{0, n}};
  }
  return ParseIpAddress(text);
}

std::optional<CountryCode> ParseCode(std::string_view text) {
  if (text.size() != 2) return std::nullopt;
  if (text == "??") return CountryCode{{'?', '?'}};
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (!letter(text[0]) || !letter(text[1])) return std::nullopt;
  return CountryCode{{UpperChar(text[0]), UpperChar(text[1])}};
}

// At most kShownWidth characters, control bytes as '?'.
std::string Shown(std::string_view text) {
  std::string shown(text.substr(0, kShownWidth));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  }
  return shown;
}

// "# Key: value" in a comment: the value, once, into `field`.
void NoteHeader(std::string_view comment, std::string_view key, std::string& field) {
  comment = Trimmed(comment.substr(1));
  if (!field.empty() || !StartsWithFolded(comment, key)) return;
  field = Shown(Trimmed(comment.substr(key.size())));
}

// Adds the range of one line (FROM,TO,CC, blanks trimmed); the reason it
// cannot be used, or nothing.
std::string_view AddRange(std::string_view body, GeoipRanges& ranges) {
  size_t comma1 = body.find(',');
  size_t comma2 = comma1 == std::string_view::npos ? comma1 : body.find(',', comma1 + 1);
  if (comma2 == std::string_view::npos) return "not a range (FROM,TO,CC)";
  std::optional<IpAddress> from = ParseBound(Trimmed(body.substr(0, comma1)));
  std::optional<IpAddress> to = ParseBound(Trimmed(body.substr(comma1 + 1, comma2 - comma1 - 1)));
  std::optional<CountryCode> code = ParseCode(Trimmed(body.substr(comma2 + 1)));
  if (!from || !to) return "bad address";
  if (!code) return "bad country code";
  if (from->isV4 != to->isV4) return "bounds of different address families";
  if (to->value < from->value) return "range ends before it starts";
  if (from->isV4) {
    if (!ranges.v4To.empty() && from->v4() <= ranges.v4To.back()) {
      return "ranges overlap or are out of order";
    }
    ranges.v4From.push_back(from->v4());
    ranges.v4To.push_back(to->v4());
    ranges.v4Code.push_back(*code);
  } else {
    if (!ranges.v6To.empty() && from->value <= ranges.v6To.back()) {
      return "ranges overlap or are out of order";
    }
    ranges.v6From.push_back(from->value);
    ranges.v6To.push_back(to->value);
    ranges.v6Code.push_back(*code);
  }
  return {};
}

}  // namespace

bool AddGeoipRanges(std::string_view text, GeoipRanges& ranges, GeoipRangesError& error) {
  size_t added = 0;
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const char* end = static_cast<const char*>(std::memchr(text.data(), '\n', text.size()));
    size_t length = end ? static_cast<size_t>(end - text.data()) : text.size();
    std::string_view line = text.substr(0, length);
    text.remove_prefix(end ? length + 1 : length);

    std::string_view body = Trimmed(line);
    if (body.empty()) continue;
    if (body[0] == '#') {
      NoteHeader(body, "Generated:", ranges.generated);
      NoteHeader(body, "Vendor:", ranges.vendor);
      NoteHeader(body, "License:", ranges.licence);
      NoteHeader(body, "Licence:", ranges.licence);
      continue;
    }
    std::string_view reason = AddRange(body, ranges);
    if (!reason.empty()) {
      error.line = lineNumber;
      error.reason = std::string(reason) + " at line " + std::to_string(lineNumber);
      error.detail.assign(1, '"');
      error.detail.append(Shown(line));
      error.detail.push_back('"');
      return false;
    }
    ++added;
  }
  if (added == 0) {
    error.line = 0;
    error.reason = "no address ranges";
    error.detail = "the file holds comments and blank lines only";
    return false;
  }
  return true;
}

namespace {

template <typename Value>
std::string_view Find(const std::vector<Value>& from, const std::vector<Value>& to,
                      const std::vector<CountryCode>& codes, const Value& address) {
  auto after = std::upper_bound(from.begin(), from.end(), address);
  if (after == from.begin()) return {};
  size_t i = static_cast<size_t>(after - from.begin()) - 1;
  if (to[i] < address) return {};
  std::string_view code = codes[i].view();
  return code == "??" ? std::string_view() : code;
}

}  // namespace

std::string_view FindCountry(const GeoipRanges& ranges, const IpAddress& address) {
  if (address.isV4) return Find(ranges.v4From, ranges.v4To, ranges.v4Code, address.v4());
  return Find(ranges.v6From, ranges.v6To, ranges.v6Code, address.value);
}

}  // namespace logvane
