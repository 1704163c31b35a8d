// The numeric addresses of users whose keys name translation replaced by
// host names, so nations can still go by address afterwards. Recorded once
// per translated user, never while the log is read.
#ifndef LOGVANE_NAMES_USER_ADDRESSES_H_
#define LOGVANE_NAMES_USER_ADDRESSES_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "names/ip_address.h"

namespace logvane {

struct SlotAddress {
  uint32_t slot;  // the user's slot in the (sorted) user table
  IpAddress address;
};

struct UserAddresses {
  std::vector<SlotAddress> translated;  // ascending slots
};

// Walks the users in slot order and gives each the address it had when the
// log was read: the recorded one, else its key when that is an address.
class ReadAddressCursor {
 public:
  explicit ReadAddressCursor(const UserAddresses& addresses) : addresses_(addresses) {}
  // `slot` must not go down from one call to the next.
  std::optional<IpAddress> AddressOf(size_t slot, std::string_view key);

 private:
  const UserAddresses& addresses_;
  size_t next_ = 0;
};

}  // namespace logvane

#endif  // LOGVANE_NAMES_USER_ADDRESSES_H_
