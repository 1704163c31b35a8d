// The cache file "lvipname.dat": one record a line, the address, a comma
// and the host name. Read once before the log, written once at the end.
#ifndef LOGVANE_NAMES_CACHE_FILE_H_
#define LOGVANE_NAMES_CACHE_FILE_H_

#include <string>

#include "common/status.h"
#include "names/name_cache.h"
#include "platform/console.h"
#include "platform/env.h"

namespace logvane {

// Clears the cache, then loads the records of the file at `path` that pass
// the checks, and sorts them. A file that cannot be opened is noted on the
// console and fails (kNotFound when it is missing, the usual first run). A
// read error ends the file as its end would: the records before it stay,
// and the load fails with it once they are sorted.
Status LoadNameCache(Env& env, NameCache& cache, const std::string& path, Console& console);

// Writes the loaded records and the names found in this run to `path`. The
// records go to a new file beside it, which replaces the old one only once
// every write, the sync and the close have succeeded: on any failure the
// old file stays as it was, and the failure is the step's.
Status SaveNameCache(Env& env, const NameCache& cache, const std::string& path, Console& console);

// Whether an entry is written back: one with a name that is not still its
// address, and nothing in it that would break the line-per-record format.
bool WorthSaving(const NameCacheEntry& entry);

}  // namespace logvane

#endif  // LOGVANE_NAMES_CACHE_FILE_H_
