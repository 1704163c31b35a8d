// The cache file "lvipname.dat": one record a line, the address, a comma
// and the host name. Read once before the log, written once at the end.
#ifndef LOGVANE_NAMES_CACHE_FILE_H_
#define LOGVANE_NAMES_CACHE_FILE_H_

#include <string>

#include "names/name_cache.h"
#include "platform/console.h"
#include "platform/file_io.h"

namespace logvane {

// Clears the cache, then loads the records of the file at `path` that pass
// the checks, and sorts them. A missing file is noted, not an error. Gives
// the errno value of a file that could not be opened, else 0.
int LoadNameCache(NameCache& cache, const std::string& path, Console& console,
                  const FileCalls& calls = SystemFileCalls());

// Writes the loaded records and the names found in this run to `path`. The
// records go to a new file beside it, which replaces the old one only once
// every write, the sync and the close have succeeded: on any failure the
// old file stays as it was. Gives the errno value of the step that
// failed, else 0.
int SaveNameCache(const NameCache& cache, const std::string& path, Console& console,
                  const FileCalls& calls = SystemFileCalls());

// Whether an entry is written back: one with a name that is not still its
// address, and nothing in it that would break the line-per-record format.
bool WorthSaving(const NameCacheEntry& entry);

}  // namespace logvane

#endif  // LOGVANE_NAMES_CACHE_FILE_H_
