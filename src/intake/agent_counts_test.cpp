#include "intake/agent_counts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <string>
#include <vector>

namespace logvane {
namespace {

AgentInfo Info(AgentClass c, const char* browser, const char* os, const char* bot = "") {
  AgentInfo info{};
  info.agentClass = c;
  info.crawler = -1;
  info.browser.assign(browser);
  info.os.assign(os);
  info.device.assign("Other");
  info.botName.assign(bot);
  return info;
}

struct Line {
  std::string agent;
  AgentInfo info;
  const char* operatorName;
  int64_t bytes;
};

// The tallies of `lines` counted through a table of `entries` agents.
std::unique_ptr<AgentTallies> CountAll(const std::vector<Line>& lines, size_t entries) {
  auto tallies = std::make_unique<AgentTallies>();
  AgentCounts counts(entries, 1 << 12);
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    const bool same = i > 0 && lines[i - 1].agent == l.agent;
    counts.Count(l.agent, AgentTextHash(l.agent), l.info, l.operatorName, l.bytes,
                 static_cast<int64_t>(i + 1), same, *tallies);
  }
  counts.FoldInto(*tallies);
  return tallies;
}

// The rows as the ranking orders them: by hits, ties by first line.
template <typename Table>
std::string Rows(const Table& table) {
  using Entry = std::remove_cvref_t<decltype(table.slots[0])>;
  std::vector<const Entry*> order;
  for (size_t i = 0; i < table.used; ++i) order.push_back(&table.slots[i]);
  std::stable_sort(order.begin(), order.end(), [](auto* a, auto* b) {
    return a->hits != b->hits ? a->hits > b->hits : a->firstLine < b->firstLine;
  });
  std::string rows;
  for (const auto* entry : order) {
    const auto& e = *entry;
    rows += std::string(e.key.view()) + "=" + std::to_string(e.hits) + "/" +
            std::to_string(static_cast<int64_t>(e.byteSum)) + "@" + std::to_string(e.firstLine) +
            " ";
  }
  return rows;
}

// Whether an agent goes through the table or, for want of room, straight
// to its families, every family ends with the same hits, bytes and first
// line, and a crawler keeps the class and operator of its first line.
TEST(AgentCounts, FamiliesAlikeWithAndWithoutRoom) {
  const AgentInfo firefox = Info(AgentClass::kHuman, "Firefox", "Linux");
  const AgentInfo chrome = Info(AgentClass::kHuman, "Chrome", "Windows");
  const AgentInfo gpt = Info(AgentClass::kAiTraining, "Other", "Other", "GPTBot");
  const AgentInfo gptSearch = Info(AgentClass::kAiAssistant, "Other", "Other", "GPTBot");
  const std::vector<Line> lines = {
      {"Firefox/1", firefox, "", 10}, {"Firefox/1", firefox, "", 20},
      {"Chrome/2", chrome, "", 5},    {"GPTBot/1.0", gpt, "OpenAI", 7},
      {"Firefox/2", firefox, "", 1},  {"GPTBot/1.1", gptSearch, "Other", 3},
      {"Chrome/2", chrome, "", 5},    {"Firefox/1", firefox, "", 2},
  };
  auto roomy = CountAll(lines, 64);
  for (size_t entries : {size_t{1}, size_t{2}, size_t{3}}) {
    SCOPED_TRACE(entries);
    auto tight = CountAll(lines, entries);
    EXPECT_EQ(Rows(tight->browsers), Rows(roomy->browsers));
    EXPECT_EQ(Rows(tight->systems), Rows(roomy->systems));
    EXPECT_EQ(Rows(tight->bots), Rows(roomy->bots));
    EXPECT_EQ(tight->bots.slots[0].visitorClass, static_cast<uint8_t>(AgentClass::kAiTraining));
    EXPECT_EQ(tight->bots.slots[0].operatorName.view(), "OpenAI");
  }
  EXPECT_EQ(Rows(roomy->browsers), "Firefox=4/33@1 Chrome=2/10@3 Other=2/10@4 ");
  EXPECT_EQ(Rows(roomy->bots), "GPTBot=2/10@4 ");
  EXPECT_EQ(roomy->classHits[static_cast<size_t>(AgentClass::kHuman)], 6);
  EXPECT_EQ(roomy->classHits[static_cast<size_t>(AgentClass::kAiTraining)], 1);
  EXPECT_EQ(roomy->classBytes[static_cast<size_t>(AgentClass::kAiAssistant)], 3);
}

}  // namespace
}  // namespace logvane
