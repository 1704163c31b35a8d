// The name translation phase: every numeric key of the user table becomes
// the host name of its address, where the cache or a lookup finds one.
#ifndef LOGVANE_NAMES_TRANSLATE_NAMES_H_
#define LOGVANE_NAMES_TRANSLATE_NAMES_H_

#include <string>
#include <vector>

#include "config/run_settings.h"
#include "names/name_cache.h"
#include "names/resolve_address.h"
#include "names/user_addresses.h"
#include "platform/console.h"
#include "platform/env.h"
#include "tally/tally_tables.h"

namespace logvane {

// Walks the user table from its first slot while hits > 0 and translates
// each key that ends in a digit, in table order. Each address replaced by a
// name goes to `addresses`.
void TranslateUserNames(const RunSettings& settings, UserTable& users, NameCache& cache,
                        UserAddresses& addresses, Console& console, Env& env);

// Resolves `texts` in order: one lookup at a time when DNSTHREADS is 1,
// else several at once with the same outcome.
void ResolveAll(std::vector<std::string>& texts, LookupContext& context);

}  // namespace logvane

#endif  // LOGVANE_NAMES_TRANSLATE_NAMES_H_
