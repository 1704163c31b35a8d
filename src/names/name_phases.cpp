#include "names/name_phases.h"

namespace logvane {

void LoadNameCache(NameCache& cache, const std::string& /*path*/, Console& /*console*/) {
  cache.loadedCount = 0;
  cache.usedCount = 0;
}

void SaveNameCache(const NameCache& /*cache*/, const std::string& /*path*/,
                   Console& /*console*/) {}

void TranslateUserNames(RunState& /*state*/, Console& /*console*/,
                        const Platform& /*platform*/) {}

}  // namespace logvane
