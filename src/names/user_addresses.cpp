#include "names/user_addresses.h"

namespace logvane {

std::optional<IpAddress> ReadAddressCursor::AddressOf(size_t slot, std::string_view key) {
  const std::vector<SlotAddress>& list = addresses_.translated;
  while (next_ < list.size() && list[next_].slot < slot) ++next_;
  if (next_ < list.size() && list[next_].slot == slot) return list[next_].address;
  return ParseIpAddress(key);
}

}  // namespace logvane
