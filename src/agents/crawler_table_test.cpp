#include "agents/crawler_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/ascii_text.h"

namespace logvane {
namespace {

std::string Found(const CrawlerTable& t, std::string_view agent) {
  int i = t.Find(agent);
  return i < 0 ? "" : t[static_cast<size_t>(i)].token;
}

TEST(CrawlerTable, MatchesTokensNotPiecesOfWords) {
  CrawlerTable t = CrawlerTable::BuiltIn();
  struct Case {
    const char* agent;
    const char* token;  // "" for none
  };
  const Case cases[] = {
      {"GPTBot/1.2", "GPTBot"},
      {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "bingbot"},
      {"mozilla/5.0 (compatible; BINGBOT/2.0)", "bingbot"},  // without regard to case
      {"Googlebot-Image/1.0", "Googlebot"},
      {"Mozilla/5.0 (compatible; NotGPTBot/1.0)", ""},  // inside a longer word
      {"Mozilla/5.0 (compatible; GPTBots/1.0)", ""},
      {"curling-app/1.0", ""},
      {"libcurl-like/1.0", ""},
      {"Wget(linux)", "Wget"},
      // The leftmost token, and at one place the longest.
      {"Feedly/1.0 (+http://www.feedly.com/fetcher.html; like FeedFetcher-Google)", "Feedly"},
      {"Mozilla/5.0 (compatible; YandexAdditionalBot/3.0)", "YandexAdditionalBot"},
      {"Mozilla/5.0 (compatible; Ai2Bot-Dolma)", "Ai2Bot-Dolma"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) Chrome/124.0 Safari/537.36", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Found(t, c.agent), c.token) << c.agent;
}

TEST(CrawlerTable, AnEntryReplacesTheOneWithTheSameTokenAndCanAskForAVersion) {
  CrawlerTable t = CrawlerTable::BuiltIn();
  size_t before = t.size();
  Crawler gpt;
  gpt.token = "gptbot";
  gpt.agentClass = AgentClass::kAiAssistant;
  gpt.name = "GPT";
  EXPECT_TRUE(t.Put(gpt));
  EXPECT_EQ(t.size(), before);
  int i = t.Find("GPTBot/1.2");
  ASSERT_GE(i, 0);
  EXPECT_EQ(t[static_cast<size_t>(i)].Name(), "GPT");
  EXPECT_EQ(t[static_cast<size_t>(i)].agentClass, AgentClass::kAiAssistant);

  Crawler code;
  code.token = "Code";
  code.versioned = true;
  EXPECT_TRUE(t.Put(code));
  EXPECT_EQ(t.size(), before + 1);
  EXPECT_EQ(Found(t, "Code/1.104.2 (linux)"), "Code");
  EXPECT_EQ(Found(t, "Mozilla/5.0 (Code Editor)"), "");
  EXPECT_EQ(Found(t, "Code/"), "");
  EXPECT_FALSE(t.Put(Crawler()));  // no token
}

TEST(CrawlerTable, TheBuiltInTableHoldsThePublishedTokensOnce) {
  CrawlerTable t = CrawlerTable::BuiltIn();
  std::set<std::string> tokens;
  size_t perClass[kAgentClasses] = {};
  for (size_t i = 0; i < t.size(); ++i) {
    EXPECT_TRUE(tokens.insert(Lowercased(t[i].token)).second) << t[i].token;
    ++perClass[static_cast<size_t>(t[i].agentClass)];
  }
  for (const char* token : {"GPTBot",
                            "ClaudeBot",
                            "CCBot",
                            "Bytespider",
                            "meta-externalagent",
                            "ChatGPT-User",
                            "Claude-User",
                            "Perplexity-User",
                            "OAI-SearchBot",
                            "Claude-SearchBot",
                            "anthropic-ai",
                            "PerplexityBot",
                            "GoogleOther",
                            "Amazonbot",
                            "FacebookBot",
                            "meta-externalfetcher",
                            "cohere-ai",
                            "DuckAssistBot",
                            "MistralAI-User",
                            "YouBot",
                            "Diffbot",
                            "ImagesiftBot",
                            "omgili",
                            "Timpibot",
                            "PetalBot",
                            "Googlebot",
                            "bingbot",
                            "YandexBot",
                            "Baiduspider",
                            "DuckDuckBot",
                            "Applebot",
                            "AhrefsBot",
                            "SemrushBot",
                            "MJ12bot",
                            "DotBot",
                            "UptimeRobot"}) {
    EXPECT_EQ(tokens.count(Lowercased(token)), 1u) << token;
  }
  // robots.txt tokens only: never in a user agent.
  EXPECT_EQ(tokens.count("google-extended"), 0u);
  EXPECT_EQ(tokens.count("applebot-extended"), 0u);
  EXPECT_EQ(perClass[static_cast<size_t>(AgentClass::kHuman)], 0u);
  for (size_t c = 1; c < kAgentClasses; ++c) EXPECT_GT(perClass[c], 0u) << c;
}

}  // namespace
}  // namespace logvane
