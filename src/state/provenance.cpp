#include "state/provenance.h"

#include <cinttypes>
#include <cstdio>

namespace logvane {

std::string TimeText(int64_t time) {
  char text[48];
  std::snprintf(text, sizeof(text), "%04" PRId64 "-%02" PRId64 "-%02" PRId64 "T%02" PRId64,
                time / 1000000, time / 10000 % 100, time / 100 % 100, time % 100);
  return text;
}

std::string FingerprintText(const Fingerprint& fingerprint) {
  char text[40];
  std::snprintf(text, sizeof(text), "%016" PRIx64 "%016" PRIx64, fingerprint.high, fingerprint.low);
  return text;
}

std::optional<std::pair<const InputOrigin*, const KnownInput*>> RunInputs::FindCounted(
    const std::vector<InputOrigin>& inputs) const {
  for (const InputOrigin& input : inputs) {
    if (input.bytes == 0) continue;
    for (const KnownInput& known : known_) {
      if (known.origin.bytes == input.bytes && known.origin.fingerprint == input.fingerprint) {
        return std::make_pair(&input, &known);
      }
    }
  }
  return std::nullopt;
}

std::vector<std::pair<const InputOrigin*, const KnownInput*>> RunInputs::Overlapping(
    const std::vector<InputOrigin>& inputs) const {
  std::vector<std::pair<const InputOrigin*, const KnownInput*>> found;
  for (const InputOrigin& input : inputs) {
    if (input.firstTime == 0) continue;
    for (const KnownInput& known : known_) {
      const InputOrigin& k = known.origin;
      if (k.firstTime == 0 || k.source != input.source) continue;
      bool same = k.firstTime == input.firstTime && k.lastTime == input.lastTime;
      bool overlap = k.firstTime < input.lastTime && input.firstTime < k.lastTime;
      if (same || overlap) found.emplace_back(&input, &known);
    }
  }
  return found;
}

void RunInputs::Add(const std::vector<InputOrigin>& inputs, const std::string& place) {
  for (const InputOrigin& input : inputs) known_.push_back({input, place});
}

std::vector<InputOrigin> RunInputs::Origins() const {
  std::vector<InputOrigin> origins;
  origins.reserve(known_.size());
  for (const KnownInput& known : known_) origins.push_back(known.origin);
  return origins;
}

}  // namespace logvane
