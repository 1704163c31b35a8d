// Who a user agent is: its browser, system and device families from
// uap-core, and its class (a person, or which kind of machine) with the
// crawler's name and operator. The rules are loaded once and then shared,
// read-only, by every reading thread; each thread keeps its own cache, so a
// distinct agent is classified once per thread, never once per line.
//
// The reading phase is expected to do, per line with a user agent, on the
// thread that prepares the line:
//
//   const AgentInfo& who = cache.Classify(agent, FoldedHash(agent), &line.agentScratch);
//
// and hand `who` (or a copy) to the router with the line, which counts it in
// tables keyed by who.browser, who.os, who.botName (with AgentClassName and
// AgentOperator) and in the human / crawler / AI shares. The result is the
// same on every thread, so any number of threads gives THREADS=1's counts.
#ifndef LOGVANE_AGENTS_AGENT_CLASSIFIER_H_
#define LOGVANE_AGENTS_AGENT_CLASSIFIER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "agents/agent_class.h"
#include "agents/crawler_table.h"
#include "agents/uap_matcher.h"
#include "common/ascii_text.h"
#include "common/status.h"

namespace logvane {

// What the classification says about one agent. Plain data: copy it, or keep
// a reference to a cached one for the rest of the run.
struct AgentInfo {
  AgentClass agentClass;
  int32_t crawler;                    // the entry of AgentRules::crawlers, or -1 for none
  FixedText<kUapFieldWidth> browser;  // uap-core's families; "Other" when none
  FixedText<kUapFieldWidth> os;
  FixedText<kUapFieldWidth> device;
  // For any bot class: the crawler's name, or the name the program gives
  // itself ("PaperLiBot", "Python Requests"); empty for people.
  FixedText<kUapFieldWidth> botName;
};

// The loaded rules; read-only once loaded, so threads share them.
struct AgentRules {
  UapMatcher matcher;
  CrawlerTable crawlers = CrawlerTable::BuiltIn();
  RefusedExpressions refused;  // for the caller to report once, on standard error
};

// Whether this build can classify (RE2 and libyaml); when not, `why` says
// which library it lacks.
bool CanClassifyAgents(std::string* why);

// Builds `rules` from the contents of uap-core's regexes.yaml (the file
// `name`). Unsupported when this build lacks RE2 or libyaml; Corrupt with the
// line for a broken file. Expressions RE2 refuses are counted in
// rules->refused and skipped: the load still succeeds.
Status LoadAgentRules(std::string_view regexesText, std::string_view name, AgentRules* rules);

// Adds the entries of a BOTS file (its contents and name) to rules->crawlers,
// replacing built-in entries with the same token. On an error nothing is
// added.
Status AddBotsFile(std::string_view text, std::string_view name, AgentRules* rules);

// The operator of the agent's crawler, or "" when unknown.
std::string_view AgentOperator(const AgentRules& rules, const AgentInfo& info);

// Classifies one agent, without a cache (`scratch` is the thread's).
void ClassifyAgent(const AgentRules& rules, std::string_view agent, UapScratch& scratch,
                   AgentInfo* out);

// One reading thread's cache of classified agents: a fixed number of
// entries, filled as agents are first seen and never evicted, so a cached
// result stays where it is for the run. Agents seen after it is full are
// classified each time they come, never dropped. Its memory is reserved at
// once but touched only as entries are used: at most about
// kDefaultAgentCacheEntries * 300 bytes plus kDefaultAgentCacheText.
inline constexpr size_t kDefaultAgentCacheEntries = 16384;
inline constexpr size_t kDefaultAgentCacheText = size_t{2} << 20;  // the agents' own bytes
// Longer agents are not kept (they are classified each time).
inline constexpr size_t kMostCachedAgent = 2048;

class AgentCache {
 public:
  explicit AgentCache(const AgentRules& rules, size_t entries = kDefaultAgentCacheEntries,
                      size_t textBytes = kDefaultAgentCacheText);
  ~AgentCache();
  AgentCache(const AgentCache&) = delete;
  AgentCache& operator=(const AgentCache&) = delete;

  // The classification of `agent`, whose FoldedHash is `hash` (the reading
  // phase has it already). A hit compares the exact bytes, since agents are
  // classified with regard to case. Returns the cached entry, stable for the
  // run, or, once the cache is full, *scratch filled in.
  const AgentInfo& Classify(std::string_view agent, uint64_t hash, AgentInfo* scratch);

  size_t used() const { return used_; }
  uint64_t hits() const { return hits_; }
  uint64_t uncached() const { return uncached_; }  // classified without room to keep them

 private:
  struct Entry;
  const AgentRules& rules_;
  UapScratch scratch_;
  size_t capacity_;
  size_t bucketMask_;
  size_t textBytes_;
  std::unique_ptr<Entry[]> entries_;
  std::unique_ptr<uint32_t[]> buckets_;  // entry number + 1; 0 is empty
  std::unique_ptr<char[]> text_;
  size_t used_ = 0;
  size_t textUsed_ = 0;
  uint64_t hits_ = 0;
  uint64_t uncached_ = 0;
};

}  // namespace logvane

#endif  // LOGVANE_AGENTS_AGENT_CLASSIFIER_H_
