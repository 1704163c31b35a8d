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
                        Console& console, const Platform& platform) {
  std::vector<size_t> slots;
  std::vector<std::string> texts;
  for (size_t slot = 0; slot < kUserCapacity && users.slots[slot].hits > 0; ++slot) {
    std::string_view key = users.slots[slot].key.view();
    if (key.empty() || !IsDigit(key.back())) continue;  // already a name
    slots.push_back(slot);
    texts.emplace_back(key);
  }
  LookupContext context{cache, settings, console, platform};
  ResolveAll(texts, context);
  for (size_t i = 0; i < slots.size(); ++i) users.slots[slots[i]].key.assign(texts[i]);
}

}  // namespace logvane
