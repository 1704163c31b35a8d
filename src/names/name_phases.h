// The name phases the run driver calls: the cache file's load before the
// log and its save at the end, and the translation of numeric user keys.
#ifndef LOGVANE_NAMES_NAME_PHASES_H_
#define LOGVANE_NAMES_NAME_PHASES_H_

#include "names/cache_file.h"
#include "names/translate_names.h"

namespace logvane {

// The cache file's fixed name, in the working directory.
inline constexpr const char* kNameCacheFile = "lvipname.dat";

}  // namespace logvane

#endif  // LOGVANE_NAMES_NAME_PHASES_H_
