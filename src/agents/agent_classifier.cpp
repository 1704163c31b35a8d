#include "agents/agent_classifier.h"

#include <cstring>
#include <vector>

#include "agents/bot_words.h"
#include "agents/bots_file.h"
#include "agents/uap_regexes.h"

namespace logvane {

namespace {

std::string_view TrimmedAgent(std::string_view agent) {
  while (!agent.empty() && (agent.front() == ' ' || agent.front() == '\t')) agent.remove_prefix(1);
  while (!agent.empty() && (agent.back() == ' ' || agent.back() == '\t')) agent.remove_suffix(1);
  return agent;
}

// The name a program gives itself first: "Tiny Tiny RSS" for "Tiny Tiny
// RSS/1.11 (http://tt-rss.org/)".
std::string_view FirstProduct(std::string_view agent) {
  size_t end = 0;
  while (end < agent.size() && agent[end] != '/' && agent[end] != '(' && agent[end] != ';' &&
         agent[end] != ',') {
    ++end;
  }
  return TrimmedAgent(agent.substr(0, end));
}

}  // namespace

bool CanClassifyAgents(std::string* why) {
  if (!CanMatchUapRegexes()) {
    *why = "this build has no RE2 (Debian: libre2-dev)";
    return false;
  }
  if (!CanReadUapRegexes()) {
    *why = "this build has no libyaml (Debian: libyaml-dev)";
    return false;
  }
  return true;
}

Status LoadAgentRules(std::string_view regexesText, std::string_view name, AgentRules* rules) {
  std::string why;
  if (!CanClassifyAgents(&why))
    return Status::Unsupported("user agents cannot be classified: " + why);
  UapRegexes regexes;
  Status status = ParseUapRegexes(regexesText, name, &regexes);
  if (!status.ok()) return status;
  rules->refused = RefusedExpressions();
  return rules->matcher.Build(regexes, name, &rules->refused);
}

Status AddBotsFile(std::string_view text, std::string_view name, AgentRules* rules) {
  std::vector<Crawler> entries;
  Status status = ParseBotsFile(text, name, &entries);
  if (!status.ok()) return status;
  for (Crawler& c : entries) rules->crawlers.Put(std::move(c));
  return Status::Ok();
}

std::string_view AgentOperator(const AgentRules& rules, const AgentInfo& info) {
  if (info.crawler < 0 || static_cast<size_t>(info.crawler) >= rules.crawlers.size()) return {};
  return rules.crawlers[static_cast<size_t>(info.crawler)].operatorName;
}

void ClassifyAgent(const AgentRules& rules, std::string_view agent, UapScratch& scratch,
                   AgentInfo* out) {
  // Families only: most rules give them as fixed texts, so the winning
  // expression need not run again for its groups.
  UapMatch match;
  rules.matcher.Match(UapList::kUserAgent, agent, 1, scratch, &match);
  out->browser = match.fields[0];
  rules.matcher.Match(UapList::kOs, agent, 1, scratch, &match);
  out->os = match.fields[0];
  rules.matcher.Match(UapList::kDevice, agent, 1, scratch, &match);
  out->device = match.fields[0];
  out->crawler = -1;
  out->botName.clear();
  out->agentClass = AgentClass::kOtherBot;

  std::string_view trimmed = TrimmedAgent(agent);
  if (trimmed.empty() || trimmed == "-") {
    out->botName.assign("(no user agent)");
    return;
  }
  int crawler = rules.crawlers.Find(agent);
  if (crawler >= 0) {
    const Crawler& c = rules.crawlers[static_cast<size_t>(crawler)];
    out->crawler = crawler;
    out->agentClass = c.agentClass;
    if (IsBot(c.agentClass)) out->botName.assign(c.Name());
    return;
  }
  std::string_view word = FindBotWord(agent);
  bool bot = !word.empty() || HasContactAddress(agent) || out->browser.view() == "Spider";
  if (!bot && out->device.view() == "Spider") {
    // uap-core's Spider device, unless all its rule saw was a piece of a
    // word ("bot" in "Bottle"): only now is its group worth finding.
    rules.matcher.Match(UapList::kDevice, agent, kUapFirstGroup, scratch, &match);
    bot = match.groupBegin < 0 || IsSpiderEvidence(agent, static_cast<size_t>(match.groupBegin),
                                                   static_cast<size_t>(match.groupEnd));
  }
  if (!bot) {
    out->agentClass = AgentClass::kHuman;
    return;
  }
  // Its name: the bot word, else the host it gives for contact, else what
  // uap-core calls it, else the product it names first.
  std::string_view name = word;
  if (name.empty()) name = ContactHost(agent);
  if (name.empty() && out->browser.view() != "Other" && out->browser.view() != "Spider") {
    name = out->browser.view();
  }
  if (name.empty()) name = FirstProduct(trimmed);
  out->botName.assign(name.empty() ? std::string_view("Other bot") : name);
}

struct AgentCache::Entry {
  uint64_t hash;
  uint32_t textOffset;
  uint32_t textSize;
  AgentInfo info;
};

AgentCache::AgentCache(const AgentRules& rules, size_t entries, size_t textBytes)
    : rules_(rules), capacity_(entries), textBytes_(textBytes) {
  size_t buckets = 16;
  while (buckets < entries * 2) buckets *= 2;
  bucketMask_ = buckets - 1;
  // Entries and text are left untouched until used: a short log costs only
  // the pages it fills.
  entries_.reset(new Entry[entries]);
  buckets_.reset(new uint32_t[buckets]());
  text_.reset(new char[textBytes]);
}

AgentCache::~AgentCache() = default;

const AgentInfo& AgentCache::Classify(std::string_view agent, uint64_t hash, AgentInfo* scratch) {
  size_t at = static_cast<size_t>(hash) & bucketMask_;
  for (; buckets_[at] != 0; at = (at + 1) & bucketMask_) {
    const Entry& e = entries_[buckets_[at] - 1];
    if (e.hash == hash && e.textSize == agent.size() &&
        std::memcmp(text_.get() + e.textOffset, agent.data(), agent.size()) == 0) {
      ++hits_;
      return e.info;
    }
  }
  // New here: keep it if there is room, else classify it for this line alone.
  if (used_ == capacity_ || agent.size() > kMostCachedAgent ||
      textBytes_ - textUsed_ < agent.size()) {
    ++uncached_;
    ClassifyAgent(rules_, agent, scratch_, scratch);
    return *scratch;
  }
  Entry& e = entries_[used_];
  e.hash = hash;
  e.textOffset = static_cast<uint32_t>(textUsed_);
  e.textSize = static_cast<uint32_t>(agent.size());
  if (!agent.empty()) std::memcpy(text_.get() + textUsed_, agent.data(), agent.size());
  textUsed_ += agent.size();
  ClassifyAgent(rules_, agent, scratch_, &e.info);
  buckets_[at] = static_cast<uint32_t>(++used_);
  return e.info;
}

}  // namespace logvane
