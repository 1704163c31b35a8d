// The cache file's load and save around a run, and the translation of
// numeric user keys into host names.
#ifndef LOGVANE_NAMES_NAME_PHASES_H_
#define LOGVANE_NAMES_NAME_PHASES_H_

#include <string>

#include "common/run_state.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace logvane {

// The cache file's fixed name, in the working directory.
inline constexpr const char* kNameCacheFile = "lvipname.dat";

void LoadNameCache(NameCache& cache, const std::string& path, Console& console);
void SaveNameCache(const NameCache& cache, const std::string& path, Console& console);
void TranslateUserNames(RunState& state, Console& console, const Platform& platform);

}  // namespace logvane

#endif  // LOGVANE_NAMES_NAME_PHASES_H_
