// Several reverse lookups at once (DNSTHREADS): lookups start ahead in
// table order, while everything they print and store is handed on strictly
// in table order, each text only once every text before it is settled. So
// the console, the cache and the names come out exactly as with one lookup
// at a time; only the waiting overlaps.
#ifndef LOGVANE_NAMES_CONCURRENT_LOOKUPS_H_
#define LOGVANE_NAMES_CONCURRENT_LOOKUPS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "names/resolve_address.h"

namespace logvane {

// Resolves every text of `texts` in order, as ResolveAddress would one
// after another, with at most `threads` lookups running at a time. Each
// lookup has its own time-out, counted from its own start.
void ResolveConcurrently(std::vector<std::string>& texts, int32_t threads, LookupContext& context);

}  // namespace logvane

#endif  // LOGVANE_NAMES_CONCURRENT_LOOKUPS_H_
