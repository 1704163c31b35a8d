#include "names/translate_names.h"

#include "names/concurrent_lookups.h"

namespace logvane {

void ResolveAll(std::vector<std::string>& texts, LookupContext& context) {
  if (context.settings.dnsThreads > 1) {
    ResolveConcurrently(texts, context.settings.dnsThreads, context);
    return;
  }
  for (std::string& text : texts) ResolveAddress(text, context);
}

void TranslateUserNames(const RunSettings& settings, UserTable& users, NameCache& cache,
                        UserAddresses& addresses, Console& console, Env& env) {
  std::vector<size_t> slots;
  std::vector<std::string> texts;
  for (size_t slot = 0; slot < kUserCapacity && users.slots[slot].hits > 0; ++slot) {
    std::string_view key = users.slots[slot].key.view();
    if (key.empty() || !IsDigit(key.back())) continue;  // already a name
    slots.push_back(slot);
    texts.emplace_back(key);
  }
  LookupContext context{cache, settings, console, env};
  ResolveAll(texts, context);
  addresses.translated.clear();
  for (size_t i = 0; i < slots.size(); ++i) {
    UserEntry& user = users.slots[slots[i]];
    if (user.key.view() == texts[i]) continue;  // no name found
    // The key stops being an address here: keep the address for the nations.
    if (std::optional<IpAddress> address = ParseIpAddress(user.key.view())) {
      addresses.translated.push_back(SlotAddress{static_cast<uint32_t>(slots[i]), *address});
    }
    user.key.assign(texts[i]);
  }
}

}  // namespace logvane
