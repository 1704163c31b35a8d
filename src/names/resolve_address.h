// Turning one numeric user key into a host name: the cache first, then a
// reverse lookup with a time-out, with the trace lines of DEBUG=Y and F.
// The steps are shared by the one-at-a-time and the concurrent paths, so
// both print and store exactly the same.
#ifndef LOGVANE_NAMES_RESOLVE_ADDRESS_H_
#define LOGVANE_NAMES_RESOLVE_ADDRESS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "config/run_settings.h"
#include "names/name_cache.h"
#include "platform/console.h"
#include "platform/env.h"

namespace logvane {

// The longest text a user key, and so a translated name, can hold.
inline constexpr size_t kWorkBufferWidth = 100;

// What one lookup touches; all of it is used on the main thread only.
struct LookupContext {
  NameCache& cache;
  const RunSettings& settings;
  Console& console;
  Env& env;
};

// What becomes of an address before any lookup starts.
enum class AddressPlan {
  kCached,     // the loaded cache knows its name
  kCacheOnly,  // LOOKUP=X: left as it is
  kCacheFull,  // no room for another entry: left as it is, with a message
  kLookUp,     // a lookup, which will add one cache entry
};

// The plan for `text` when `usedEntries` cache entries are in use; a cached
// name is put into `cachedName` (a view into the cache).
AddressPlan PlanAddress(const NameCache& cache, const RunSettings& settings, std::string_view text,
                        size_t usedEntries, std::string_view* cachedName);

// Carries out a plan other than kLookUp on `text`.
void ApplyWithoutLookup(AddressPlan plan, std::string_view cachedName, std::string& text,
                        LookupContext& context);

// The trace line printed before a lookup.
void AnnounceLookup(std::string_view text, LookupContext& context);

// Whether `text` may go to the resolver at all: only an IPv4 or IPv6
// literal does; anything else ends as a failed lookup.
bool Resolvable(std::string_view text);

// Whether a resolver's answer can stand for a user: not empty, and no
// control characters (a newline would split a cache record, and none
// belongs in a host name).
bool UsableHostName(const std::optional<std::string>& name);

// Ends a lookup with the resolver's answer (none: failed or timed out):
// the trace line, the cache entry, and the new text on success.
void FinishLookup(const std::optional<std::string>& answer, std::string& text,
                  LookupContext& context);

// Replaces the address in `text` by its host name, or leaves it, as the
// cache, the settings and a lookup decide. One lookup at a time.
void ResolveAddress(std::string& text, LookupContext& context);

}  // namespace logvane

#endif  // LOGVANE_NAMES_RESOLVE_ADDRESS_H_
