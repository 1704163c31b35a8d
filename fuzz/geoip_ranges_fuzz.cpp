// Any bytes as Tor geoip range files: the input is split at its first NUL
// into two files read one after the other. Loading must end normally; what
// it accepts must be ranges in order, without overlap, each found by the
// search exactly where a walk over all of them finds it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "names/geoip_ranges.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

template <typename Value>
void CheckFamily(const std::vector<Value>& from, const std::vector<Value>& to,
                 const std::vector<logvane::CountryCode>& codes) {
  Check(from.size() == to.size() && to.size() == codes.size());
  for (size_t i = 0; i < from.size(); ++i) {
    Check(!(to[i] < from[i]));
    if (i > 0) Check(to[i - 1] < from[i]);
    std::string_view code = codes[i].view();
    Check(code == "??" || (code[0] >= 'A' && code[0] <= 'Z' && code[1] >= 'A' && code[1] <= 'Z'));
  }
}

// The code a walk over every range gives.
template <typename Value>
std::string_view Walk(const std::vector<Value>& from, const std::vector<Value>& to,
                      const std::vector<logvane::CountryCode>& codes, const Value& address) {
  for (size_t i = 0; i < from.size(); ++i) {
    if (!(address < from[i]) && !(to[i] < address)) {
      return codes[i].view() == "??" ? std::string_view() : codes[i].view();
    }
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  std::string_view first = input.substr(0, split);
  std::string_view second = split == input.npos ? std::string_view() : input.substr(split + 1);

  GeoipRanges ranges;
  GeoipRangesError error;
  bool ok = AddGeoipRanges(first, ranges, error);
  if (ok && split != input.npos) ok = AddGeoipRanges(second, ranges, error);
  if (!ok) {
    Check(!error.reason.empty() && !error.detail.empty());
    return 0;
  }
  CheckFamily(ranges.v4From, ranges.v4To, ranges.v4Code);
  CheckFamily(ranges.v6From, ranges.v6To, ranges.v6Code);
  for (size_t i = 0; i < ranges.v4From.size() && i < 64; ++i) {
    for (uint32_t probe :
         {ranges.v4From[i] - 1, ranges.v4From[i], ranges.v4To[i], ranges.v4To[i] + 1}) {
      IpAddress address{true, Ip128{0, probe}};
      Check(FindCountry(ranges, address) == Walk(ranges.v4From, ranges.v4To, ranges.v4Code, probe));
    }
  }
  for (size_t i = 0; i < ranges.v6From.size() && i < 64; ++i) {
    for (const Ip128& probe : {ranges.v6From[i], ranges.v6To[i]}) {
      IpAddress address{false, probe};
      Check(FindCountry(ranges, address) == Walk(ranges.v6From, ranges.v6To, ranges.v6Code, probe));
    }
  }
  return 0;
}
