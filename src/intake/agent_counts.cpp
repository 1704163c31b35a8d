#include "intake/agent_counts.h"

#include <cstring>

namespace logvane {

namespace {

static_assert(kVisitorClasses == kAgentClasses, "one class tally per agent class");

// Adds `hits` lines to the entry of `key`, or drops them when the table is
// full (all of them counted in `dropped`, as lines). Gives the entry, or
// nullptr.
template <typename Table>
auto* AddLines(Table& table, std::string_view key, int64_t hits, double byteSum,
               int64_t firstLine) {
  using Key = decltype(table.slots[0].key);
  int64_t slot = AddCounts(table, HashKey(key, Key::kCapacity), hits, byteSum);
  if (slot == kTableFull) return static_cast<decltype(&table.slots[0])>(nullptr);
  auto& entry = table.slots[slot];
  if (entry.hits == hits || firstLine < entry.firstLine) entry.firstLine = firstLine;
  return &entry;
}

}  // namespace

void CountAgentFamilies(AgentTallies& t, const AgentInfo& info, std::string_view operatorName,
                        int64_t hits, double byteSum, int64_t firstLine, bool botFamilies) {
  const size_t c = static_cast<size_t>(info.agentClass);
  t.classHits[c] += hits;
  t.classBytes[c] += byteSum;
  const bool isBot = IsBot(info.agentClass);
  if (!isBot || botFamilies) {
    AddLines(t.browsers, info.browser.view(), hits, byteSum, firstLine);
    AddLines(t.systems, info.os.view(), hits, byteSum, firstLine);
  }
  if (!isBot) return;
  BotEntry* bot = AddLines(t.bots, info.botName.view(), hits, byteSum, firstLine);
  // The class and operator of the name's first line: a later line of
  // another agent with the same name does not change them.
  if (bot != nullptr && bot->firstLine == firstLine) {
    bot->visitorClass = static_cast<uint8_t>(info.agentClass);
    bot->operatorName.assign(operatorName);
  }
}

struct AgentCounts::Entry {
  uint64_t hash;
  uint32_t textOffset;
  uint32_t textSize;
  int64_t hits;
  double byteSum;
  int64_t firstLine;
  std::string_view operatorName;
  AgentInfo info;
};

AgentCounts::AgentCounts(size_t entries, size_t textBytes, bool botFamilies)
    : capacity_(entries), textBytes_(textBytes), botFamilies_(botFamilies) {
  size_t buckets = 16;
  while (buckets < entries * 2) buckets *= 2;
  bucketMask_ = buckets - 1;
  // Left untouched until used: a log of a few agents costs a few pages.
  entries_.reset(new Entry[entries]);
  buckets_.reset(new uint32_t[buckets]());
  text_.reset(new char[textBytes]);
}

AgentCounts::~AgentCounts() = default;

void AgentCounts::Count(std::string_view agent, uint64_t hash, const AgentInfo& info,
                        std::string_view operatorName, int64_t bytes, int64_t line,
                        bool sameAsBefore, AgentTallies& tallies) {
  Entry* e = recent_;
  const bool follows = sameAsBefore && e != nullptr && recentLine_ + 1 == line;
  if (!follows && (e == nullptr || e->hash != hash || e->textSize != agent.size() ||
                   std::memcmp(text_.get() + e->textOffset, agent.data(), agent.size()) != 0)) {
    e = nullptr;
    size_t at = static_cast<size_t>(hash) & bucketMask_;
    for (; buckets_[at] != 0; at = (at + 1) & bucketMask_) {
      Entry& candidate = entries_[buckets_[at] - 1];
      if (candidate.hash == hash && candidate.textSize == agent.size() &&
          std::memcmp(text_.get() + candidate.textOffset, agent.data(), agent.size()) == 0) {
        e = &candidate;
        break;
      }
    }
    if (e == nullptr) {
      if (used_ == capacity_ || textBytes_ - textUsed_ < agent.size()) {
        ++overflow_;
        CountAgentFamilies(tallies, info, operatorName, 1, static_cast<double>(bytes), line,
                           botFamilies_);
        return;
      }
      e = &entries_[used_];
      e->hash = hash;
      e->textOffset = static_cast<uint32_t>(textUsed_);
      e->textSize = static_cast<uint32_t>(agent.size());
      if (!agent.empty()) std::memcpy(text_.get() + textUsed_, agent.data(), agent.size());
      textUsed_ += agent.size();
      e->hits = 0;
      e->byteSum = 0;
      e->firstLine = line;
      e->operatorName = operatorName;
      e->info = info;
      buckets_[at] = static_cast<uint32_t>(++used_);
    }
    recent_ = e;
  }
  recentLine_ = line;
  ++e->hits;
  e->byteSum += static_cast<double>(bytes);
}

void AgentCounts::FoldInto(AgentTallies& tallies) {
  for (size_t i = 0; i < used_; ++i) {
    const Entry& e = entries_[i];
    CountAgentFamilies(tallies, e.info, e.operatorName, e.hits, e.byteSum, e.firstLine,
                       botFamilies_);
  }
  std::memset(buckets_.get(), 0, (bucketMask_ + 1) * sizeof(uint32_t));
  used_ = 0;
  textUsed_ = 0;
  recent_ = nullptr;
}

void ReportFullAgentTables(const AgentTallies& t, Console& console) {
  constexpr std::string_view kMoreThan = "*ERROR* More than ";
  constexpr ConstText kBrowsersFull = NumberedText(kMoreThan, kBrowserCapacity, " browsers.");
  constexpr ConstText kSystemsFull =
      NumberedText(kMoreThan, kSystemCapacity, " operating systems.");
  constexpr ConstText kBotsFull = NumberedText(kMoreThan, kBotCapacity, " crawlers.");
  if (t.browsers.ranFull) console.Line(kBrowsersFull.view());
  if (t.systems.ranFull) console.Line(kSystemsFull.view());
  if (t.bots.ranFull) console.Line(kBotsFull.view());
}

}  // namespace logvane
