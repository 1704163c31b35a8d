// The lines of each distinct user agent, counted by the routing thread while
// the log is read and added to the browser, system, crawler and class
// tallies once it ends. A line costs one lookup by the agent's hash (none
// when it repeats the agent of the line before), not one per table; the
// families an agent belongs to are worked out once, when it is first seen.
// Fixed in size: an agent that finds the table full counts its line in the
// family tallies at once, so no line is lost, and the family tables keep
// the first line of each entry, so the order of the ranking does not depend
// on which way a line went.
#ifndef LOGVANE_INTAKE_AGENT_COUNTS_H_
#define LOGVANE_INTAKE_AGENT_COUNTS_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "agents/agent_classifier.h"
#include "platform/console.h"
#include "tally/tally_tables.h"

namespace logvane {

// The hash by which an agent is found again, in a preparing thread's cache
// and here: of its exact bytes (an agent is classified with regard to case),
// two independent words of eight bytes a step, about half what FoldedHash
// costs over a typical agent of 110 to 150 bytes.
inline uint64_t AgentTextHash(std::string_view text) {
  auto load = [](const char* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof(w));
    return w;
  };
  constexpr uint64_t kMul1 = 0x9e3779b97f4a7c15ULL;
  constexpr uint64_t kMul2 = 0xc2b2ae3d27d4eb4fULL;
  const char* p = text.data();
  size_t n = text.size();
  uint64_t a = kMul1 ^ n;
  uint64_t b = kMul2;
  for (; n >= 16; p += 16, n -= 16) {
    a = (a ^ load(p)) * kMul2;
    b = (b ^ load(p + 8)) * kMul1;
    a ^= a >> 29;
    b ^= b >> 31;
  }
  if (text.size() >= 8) {
    // The last bytes as the words that end the text, overlapping those read.
    const char* end = text.data() + text.size();
    a = (a ^ load(end - 8)) * kMul1;
    if (n > 8) b = (b ^ load(end - 16)) * kMul2;
  } else {
    uint64_t w = 0;
    for (size_t i = 0; i < n; ++i)
      w |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    a = (a ^ w) * kMul1;
  }
  uint64_t h = (a ^ (b >> 32) ^ (b << 32)) * kMul2;
  return h ^ (h >> 32);
}

inline constexpr size_t kAgentCountsEntries = 16384;
inline constexpr size_t kAgentCountsText = size_t{2} << 20;  // the agents' own bytes

// `hits` lines of `info`'s agent, the first of them line `firstLine`,
// added to the class, crawler and (for a bot only with `botFamilies`)
// browser and system tallies; a table that is full drops them there (its
// `dropped` and `ranFull` tell).
void CountAgentFamilies(AgentTallies& tallies, const AgentInfo& info, std::string_view operatorName,
                        int64_t hits, double byteSum, int64_t firstLine, bool botFamilies = true);

class AgentCounts {
 public:
  // Without `botFamilies` (EXCLUDE_BOTS) a bot's lines count in no
  // browser or system.
  explicit AgentCounts(size_t entries = kAgentCountsEntries, size_t textBytes = kAgentCountsText,
                       bool botFamilies = true);
  ~AgentCounts();
  AgentCounts(const AgentCounts&) = delete;
  AgentCounts& operator=(const AgentCounts&) = delete;

  // Counts line `line` of `bytes` whose agent (with its AgentTextHash) is
  // `info`, whose crawler's operator is `operatorName` (a text that lives
  // for the run); an agent that finds no room goes to `tallies` at once.
  // `sameAsBefore`: line - 1 had the same agent, so when it was counted
  // here this line is counted with it at once.
  void Count(std::string_view agent, uint64_t hash, const AgentInfo& info,
             std::string_view operatorName, int64_t bytes, int64_t line, bool sameAsBefore,
             AgentTallies& tallies);

  // Adds every agent counted to `tallies` and empties the table.
  void FoldInto(AgentTallies& tallies);

  size_t used() const { return used_; }
  int64_t overflowLines() const { return overflow_; }

 private:
  struct Entry;
  size_t capacity_;
  size_t bucketMask_;
  size_t textBytes_;
  bool botFamilies_;
  std::unique_ptr<Entry[]> entries_;
  std::unique_ptr<uint32_t[]> buckets_;  // entry number + 1; 0 is empty
  std::unique_ptr<char[]> text_;
  size_t used_ = 0;
  size_t textUsed_ = 0;
  Entry* recent_ = nullptr;  // the entry of the line counted last
  int64_t recentLine_ = 0;   // and its line
  int64_t overflow_ = 0;     // lines counted at once for want of room
};

// The console line for each user-agent table that ran full.
void ReportFullAgentTables(const AgentTallies& tallies, Console& console);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_AGENT_COUNTS_H_
