// The crawlers Logvane knows by the tokens their operators publish, and the
// search for a token in a user agent: as a whole token ("GPTBot/1.2",
// "compatible; bingbot/2.0;"), never as part of a longer word.
#ifndef LOGVANE_AGENTS_CRAWLER_TABLE_H_
#define LOGVANE_AGENTS_CRAWLER_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "agents/agent_class.h"

namespace logvane {

struct Crawler {
  std::string token;  // matched without regard to case (A-Z)
  AgentClass agentClass = AgentClass::kOtherBot;
  std::string name;          // what a report shows; the token when empty
  std::string operatorName;  // who runs it; may be empty
  bool versioned = false;    // the token counts only when "/" and a digit follow

  std::string_view Name() const { return name.empty() ? token : name; }
};

// Whether c is part of a word: a token must not touch one on either side.
inline bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

class CrawlerTable {
 public:
  // The table carried in the program.
  static CrawlerTable BuiltIn();

  // Adds `entry`, or replaces the entry with the same token (A-Z folded);
  // false when the token is empty.
  bool Put(Crawler entry);

  size_t size() const { return entries_.size(); }
  const Crawler& operator[](size_t i) const { return entries_[i]; }

  // The entry whose token stands in `agent` as a whole token: the leftmost,
  // and of those the longest ("Feedly/1.0 (...; like FeedFetcher-Google)" is
  // Feedly); -1 when none does.
  int Find(std::string_view agent) const;

 private:
  std::vector<Crawler> entries_;
  // Entry numbers by the folded first byte of their token, longest first.
  std::vector<uint32_t> byFirst_[256];
  // Bit (a * 256 + b) is set when some token starts with the folded bytes a,
  // b (b 0 for a token of one byte): most places of an agent start none.
  uint64_t pairs_[256 * 256 / 64] = {};
};

}  // namespace logvane

#endif  // LOGVANE_AGENTS_CRAWLER_TABLE_H_
