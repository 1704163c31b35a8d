#include "names/resolve_address.h"

#include <algorithm>
#include <memory>

#include "names/lookup_worker.h"
#include "platform/resolver.h"

namespace logvane {

namespace {

void ReplaceText(std::string& text, std::string_view by) {
  text.assign(by.substr(0, std::min(by.size(), kWorkBufferWidth)));
}

// One lookup on a worker, polled until it answers or times out.
std::optional<std::string> LookUp(const std::string& text, LookupContext& context) {
  if (!Resolvable(text)) return std::nullopt;
  std::shared_ptr<LookupJob> job = StartLookup(text, context.env);
  if (!job) return std::nullopt;
  int64_t start = context.env.NowSeconds();
  for (;;) {
    WaitPollInterval();
    switch (PollLookup(*job, start, context.env.NowSeconds(), context.settings.lookupTimeout)) {
      case LookupState::kAnswered: return job->name;
      case LookupState::kTimedOut: return std::nullopt;
      case LookupState::kRunning: break;
    }
  }
}

}  // namespace

AddressPlan PlanAddress(const NameCache& cache, const RunSettings& settings, std::string_view text,
                        size_t usedEntries, std::string_view* cachedName) {
  if (std::optional<std::string_view> name = FindCachedName(cache, text)) {
    *cachedName = *name;
    return AddressPlan::kCached;
  }
  if (CacheOnly(settings)) return AddressPlan::kCacheOnly;
  if (usedEntries >= kNameCacheCapacity) return AddressPlan::kCacheFull;
  return AddressPlan::kLookUp;
}

void ApplyWithoutLookup(AddressPlan plan, std::string_view cachedName, std::string& text,
                        LookupContext& context) {
  switch (plan) {
    case AddressPlan::kCached:
      ReplaceText(text, cachedName);
      if (TraceCacheHits(context.settings)) context.console.Write(".");
      break;
    case AddressPlan::kCacheFull:
      context.console.Line("*ERROR* Too many IP addrs - ask for free upgrade.");
      break;
    case AddressPlan::kCacheOnly:
    case AddressPlan::kLookUp: break;
  }
}

void AnnounceLookup(std::string_view text, LookupContext& context) {
  if (!TraceLookups(context.settings)) return;
  context.console.Write("looking up: ");
  context.console.Line(text);
}

bool Resolvable(std::string_view text) {
  return ClassifyAddressLiteral(text) != AddressFamily::kNone;
}

bool UsableHostName(const std::optional<std::string>& name) {
  if (!name || name->empty()) return false;
  for (char c : *name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  return true;
}

void FinishLookup(const std::optional<std::string>& answer, std::string& text,
                  LookupContext& context) {
  bool trace = TraceLookups(context.settings);
  if (UsableHostName(answer)) {
    if (trace) {
      context.console.Write("    *got it* name is: ");
      context.console.Line(*answer);
    }
    AppendNameCacheEntry(context.cache, text, *answer);
    ReplaceText(text, *answer);
    return;
  }
  if (trace) {
    context.console.Write("    *oops* could not get name for address: ");
    context.console.Line(text);
  }
  AppendNameCacheEntry(context.cache, text, text);
}

void ResolveAddress(std::string& text, LookupContext& context) {
  std::string_view cachedName;
  AddressPlan plan =
      PlanAddress(context.cache, context.settings, text, context.cache.usedCount, &cachedName);
  if (plan != AddressPlan::kLookUp) {
    ApplyWithoutLookup(plan, cachedName, text, context);
    return;
  }
  AnnounceLookup(text, context);
  FinishLookup(LookUp(text, context), text, context);
}

}  // namespace logvane
