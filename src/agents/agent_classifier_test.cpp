#include "agents/agent_classifier.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/agent_test_data.h"
#include "tally/key_index.h"

namespace logvane {
namespace {

using agent_test::SharedRules;

#define NEED_RULES()                                                 \
  const AgentRules* rules = SharedRules();                           \
  if (rules == nullptr) {                                            \
    GTEST_SKIP() << "uap-core (" << agent_test::kRegexesPath         \
                 << ") or this build's RE2 and libyaml are missing"; \
  }

struct Expected {
  const char* agent;
  AgentClass agentClass;
  const char* name;          // the bot's name; "" for people
  const char* operatorName;  // "" when unknown
};

constexpr AgentClass kHuman = AgentClass::kHuman;
constexpr AgentClass kSearch = AgentClass::kSearchCrawler;
constexpr AgentClass kTraining = AgentClass::kAiTraining;
constexpr AgentClass kAssistant = AgentClass::kAiAssistant;
constexpr AgentClass kSeo = AgentClass::kSeoMonitor;
constexpr AgentClass kBot = AgentClass::kOtherBot;

// Real crawlers' agents as their operators document them or as logs hold
// them, and browsers whose agents merely contain similar words.
const Expected kAgents[] = {
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.2; "
     "+https://openai.com/gptbot)",
     kTraining, "GPTBot", "OpenAI"},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; ClaudeBot/1.0; "
     "+claudebot@anthropic.com)",
     kTraining, "ClaudeBot", "Anthropic"},
    {"CCBot/2.0 (https://commoncrawl.org/faq/)", kTraining, "CCBot", "Common Crawl"},
    {"Mozilla/5.0 (Linux; Android 5.0) AppleWebKit/537.36 (KHTML, like Gecko) Mobile "
     "Safari/537.36 (compatible; Bytespider; spider-feedback@bytedance.com)",
     kTraining, "Bytespider", "ByteDance"},
    {"meta-externalagent/1.1 (+https://developers.facebook.com/docs/sharing/webmasters/crawler)",
     kTraining, "meta-externalagent", "Meta"},
    {"Mozilla/5.0 (compatible; Amazonbot/0.1; +https://developer.amazon.com/support/amazonbot)",
     kTraining, "Amazonbot", "Amazon"},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; ChatGPT-User/1.0; "
     "+https://openai.com/bot",
     kAssistant, "ChatGPT-User", "OpenAI"},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; OAI-SearchBot/1.0; "
     "+https://openai.com/searchbot",
     kAssistant, "OAI-SearchBot", "OpenAI"},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; Claude-User/1.0; "
     "+Claude-User@anthropic.com)",
     kAssistant, "Claude-User", "Anthropic"},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; Perplexity-User/1.0; "
     "+https://perplexity.ai/perplexity-user)",
     kAssistant, "Perplexity-User", "Perplexity"},
    {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", kSearch,
     "Googlebot", "Google"},
    {"Mozilla/5.0 (Linux; Android 6.0.1; Nexus 5X Build/MMB29P) AppleWebKit/537.36 (KHTML, "
     "like Gecko) Chrome/120.0.6099.216 Mobile Safari/537.36 (compatible; Googlebot/2.1; "
     "+http://www.google.com/bot.html)",
     kSearch, "Googlebot", "Google"},
    {"Googlebot-Image/1.0", kSearch, "Googlebot", "Google"},
    {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; bingbot/2.0; "
     "+http://www.bing.com/bingbot.htm) Chrome/116.0.1938.76 Safari/537.36",
     kSearch, "bingbot", "Microsoft"},
    {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", kSearch, "YandexBot",
     "Yandex"},
    {"Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)", kSearch,
     "Baiduspider", "Baidu"},
    {"DuckDuckBot/1.1; (+http://duckduckgo.com/duckduckbot.html)", kSearch, "DuckDuckBot",
     "DuckDuckGo"},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like Gecko) "
     "Version/13.1.1 Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)",
     kSearch, "Applebot", "Apple"},
    {"Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)", kSearch,
     "Yahoo! Slurp", "Yahoo"},
    {"Mozilla/5.0 (compatible; PetalBot;+https://webmaster.petalsearch.com/site/petalbot)", kSearch,
     "PetalBot", "Huawei"},
    {"Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)", kSeo, "AhrefsBot",
     "Ahrefs"},
    {"Mozilla/5.0 (compatible; SemrushBot/7~bl; +http://www.semrush.com/bot.html)", kSeo,
     "SemrushBot", "Semrush"},
    {"Mozilla/5.0 (compatible; MJ12bot/v1.4.5; http://www.majestic12.co.uk/bot.php?+)", kSeo,
     "MJ12bot", "Majestic"},
    {"Mozilla/5.0 (compatible; DotBot/1.2; +https://opensiteexplorer.org/dotbot; help@moz.com)",
     kSeo, "DotBot", "Moz"},
    {"Mozilla/5.0+(compatible; UptimeRobot/2.0; http://www.uptimerobot.com/)", kSeo, "UptimeRobot",
     "UptimeRobot"},
    {"facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)", kBot,
     "facebookexternalhit", "Meta"},
    {"curl/7.88.1", kBot, "curl", ""},
    {"python-requests/2.31.0", kBot, "python-requests", ""},
    // Not in the table: the bot words, uap-core's Spider device, an address.
    {"Mozilla/5.0 (compatible; PaperLiBot/2.1; http://support.paper.li/entries/20023257)", kBot,
     "PaperLiBot", ""},
    {"Mozilla/5.0 (compatible; SputnikBot/2.3; +http://corp.sputnik.ru/webmaster)", kBot,
     "SputnikBot", ""},
    {"SomeCrawler/1.0", kBot, "SomeCrawler", ""},
    {"Mozilla/5.0 (compatible; Nutch/1.19)", kBot, "Nutch", ""},
    {"Tiny Tiny RSS/1.11 (http://tt-rss.org/)", kBot, "Tiny Tiny RSS", ""},
    {"Feedreader 3.14 (+http://www.example.com/feeds)", kBot, "example.com", ""},
    {"Mozilla/5.0 (compatible; theoldreader.com; 2 subscribers; feed-id=2e78188b)", kBot,
     "subscribers", ""},
    {"-", kBot, "(no user agent)", ""},
    {"", kBot, "(no user agent)", ""},
    // People, whatever their agents spell.
    {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/124.0.0.0 Safari/537.36",
     kHuman, "", ""},
    {"Mozilla/5.0 (Linux; Android 10; CUBOT X30) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/96.0.4664.104 Mobile Safari/537.36",
     kHuman, "", ""},
    {"Mozilla/5.0 (Linux; Android 9; Cubot_Note_Plus Build/PPR1.180610.011) AppleWebKit/537.36 "
     "(KHTML, like Gecko) Chrome/86.0.4240.99 Mobile Safari/537.36",
     kHuman, "", ""},
    {"Mozilla/5.0 (Linux; Android 12; cubot P60) AppleWebKit/537.36 (KHTML, like Gecko) "
     "Chrome/110.0 Mobile Safari/537.36",
     kHuman, "", ""},
    {"Robot Framework 6.1 (Python 3.11.4 on linux)", kHuman, "", ""},
    {"Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 "
     "Safari/537.36 Robot Framework",
     kHuman, "", ""},
    {"Bottle/0.12.25 (Python/3.11)", kHuman, "", ""},
    {"MyShop/2.3 (Bottle; Linux)", kHuman, "", ""},
    {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
     "Gecko) Version/17.4 Mobile/15E148 Safari/604.1",
     kHuman, "", ""},
    {"Mozilla/5.0 (Macintosh; Intel Mac OS X 14.4; rv:125.0) Gecko/20100101 Firefox/125.0", kHuman,
     "", ""},
    {"Mozilla/5.0 (Linux; Android 13; SM-S911B) AppleWebKit/537.36 (KHTML, like Gecko) "
     "SamsungBrowser/23.0 Chrome/115.0.0.0 Mobile Safari/537.36",
     kHuman, "", ""},
};

TEST(AgentClassifier, ClassifiesRealCrawlersAndLeavesLookAlikesToPeople) {
  NEED_RULES();
  UapScratch scratch;
  for (const Expected& e : kAgents) {
    AgentInfo info{};
    ClassifyAgent(*rules, e.agent, scratch, &info);
    EXPECT_EQ(AgentClassName(info.agentClass), AgentClassName(e.agentClass)) << e.agent;
    EXPECT_EQ(info.botName.view(), e.name) << e.agent;
    EXPECT_EQ(AgentOperator(*rules, info), e.operatorName) << e.agent;
  }
}

TEST(AgentClassifier, GivesUapCoreFamilies) {
  NEED_RULES();
  UapScratch scratch;
  AgentInfo info{};
  ClassifyAgent(*rules, kAgents[std::size(kAgents) - 3].agent, scratch, &info);  // the iPhone
  EXPECT_EQ(info.browser.view(), "Mobile Safari");
  EXPECT_EQ(info.os.view(), "iOS");
  EXPECT_EQ(info.device.view(), "iPhone");
  ClassifyAgent(*rules, "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
                scratch, &info);
  EXPECT_EQ(info.browser.view(), "Googlebot");
  EXPECT_EQ(info.device.view(), "Spider");
}

TEST(AgentClassifier, ABotsFileOverridesTheBuiltInTable) {
  NEED_RULES();
  AgentRules own;
  std::string text;
  ASSERT_TRUE(agent_test::ReadWhole(agent_test::kRegexesPath, &text));
  ASSERT_TRUE(LoadAgentRules(text, agent_test::kRegexesPath, &own).ok());
  ASSERT_TRUE(AddBotsFile("GPTBot, ai-assistant, GPT fetcher, Someone\n"
                          "Robot Framework, seo, Robot Framework\n"
                          "curl, human\n",
                          "bots.txt", &own)
                  .ok());
  UapScratch scratch;
  AgentInfo info{};
  ClassifyAgent(own, "Mozilla/5.0 (compatible; GPTBot/1.2)", scratch, &info);
  EXPECT_EQ(info.agentClass, AgentClass::kAiAssistant);
  EXPECT_EQ(info.botName.view(), "GPT fetcher");
  EXPECT_EQ(AgentOperator(own, info), "Someone");
  ClassifyAgent(own, "Robot Framework 6.1 (Python 3.11.4 on linux)", scratch, &info);
  EXPECT_EQ(info.agentClass, AgentClass::kSeoMonitor);
  ClassifyAgent(own, "curl/8.0", scratch, &info);
  EXPECT_EQ(info.agentClass, AgentClass::kHuman);
  EXPECT_TRUE(info.botName.empty());
  // A broken file adds nothing.
  size_t before = own.crawlers.size();
  EXPECT_FALSE(AddBotsFile("NewBot, ai-training\nOther, nonsense\n", "bad.txt", &own).ok());
  EXPECT_EQ(own.crawlers.size(), before);
}

TEST(AgentClassifier, LoadingWithoutTheLibrariesSaysWhichIsMissing) {
  std::string why;
  if (CanClassifyAgents(&why)) GTEST_SKIP() << "this build has RE2 and libyaml";
  AgentRules rules;
  Status s = LoadAgentRules("user_agent_parsers: []\n", "regexes.yaml", &rules);
  EXPECT_EQ(s.code(), StatusCode::kUnsupported);
  EXPECT_NE(s.message().find(why), std::string::npos) << s.ToString();
}

TEST(AgentClassifier, ABrokenRegexesFileGivesTheLine) {
  std::string why;
  if (!CanClassifyAgents(&why)) GTEST_SKIP() << why;
  AgentRules rules;
  Status s =
      LoadAgentRules("user_agent_parsers:\n  - regex: 'a'\n  - nonsense\n", "/x/r.yaml", &rules);
  EXPECT_EQ(s.ToString(), "/x/r.yaml:line 3: each item of 'user_agent_parsers' must be a mapping");
}

std::string Describe(const AgentInfo& i) {
  return std::string(AgentClassWord(i.agentClass)) + "|" + std::string(i.botName.view()) + "|" +
         std::string(i.browser.view()) + "|" + std::string(i.os.view()) + "|" +
         std::string(i.device.view()) + "|" + std::to_string(i.crawler);
}

TEST(AgentCache, ClassifiesEachAgentOnceAndCompareItsExactBytes) {
  NEED_RULES();
  AgentCache cache(*rules, 4, 1024);
  AgentInfo scratch{};
  const std::string bot = "Mozilla/5.0 (compatible; GPTBot/1.2)";
  const std::string browser =
      "Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0";
  const AgentInfo& first = cache.Classify(bot, FoldedHash(bot), &scratch);
  EXPECT_EQ(&cache.Classify(bot, FoldedHash(bot), &scratch), &first);  // the same entry
  EXPECT_EQ(cache.used(), 1u);
  EXPECT_EQ(cache.hits(), 1u);
  // The same letters in other cases hash alike, but are another agent.
  const std::string upper =
      "MOZILLA/5.0 (X11; LINUX X86_64; RV:125.0) GECKO/20100101 FIREFOX/125.0";
  const AgentInfo& b = cache.Classify(browser, FoldedHash(browser), &scratch);
  const AgentInfo& u = cache.Classify(upper, FoldedHash(upper), &scratch);
  EXPECT_NE(&b, &u);
  EXPECT_EQ(b.browser.view(), "Firefox");
  EXPECT_NE(u.browser.view(), "Firefox");
  EXPECT_EQ(cache.used(), 3u);
}

TEST(AgentCache, AgentsBeyondItsRoomAreClassifiedEachTime) {
  NEED_RULES();
  AgentCache cache(*rules, 2, 1024);
  UapScratch uap;
  std::vector<std::string> agents;
  for (int i = 0; i < 5; ++i) agents.push_back("Bot" + std::to_string(i) + "Crawler/1.0");
  agents.push_back(std::string(kMostCachedAgent + 1, 'x'));
  for (int round = 0; round < 2; ++round) {
    for (const std::string& a : agents) {
      AgentInfo scratch{};
      AgentInfo direct{};
      ClassifyAgent(*rules, a, uap, &direct);
      EXPECT_EQ(Describe(cache.Classify(a, FoldedHash(a), &scratch)), Describe(direct));
    }
  }
  EXPECT_EQ(cache.used(), 2u);
  EXPECT_EQ(cache.hits(), 2u);
  EXPECT_EQ(cache.uncached(), 8u);
}

// The agents of the real logs, with how often each comes.
std::map<std::string, int> RealLogAgents() {
  std::map<std::string, int> agents;
  for (const char* log :
       {"real-logs/apache_2016_combined_v4v6.log", "real-logs/elastic_apache_combined_2015.log"}) {
    std::string text;
    std::string path = agent_test::SharedFile(log);
    if (path.empty() || !agent_test::ReadWhole(path, &text)) continue;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      // The sixth quote of a combined line opens the agent.
      size_t at = 0;
      for (int q = 0; q < 5 && at != std::string::npos; ++q) at = line.find('"', at + 1);
      if (at == std::string::npos) continue;
      size_t end = line.find('"', at + 1);
      if (end == std::string::npos) continue;
      ++agents[line.substr(at + 1, end - at - 1)];
    }
  }
  return agents;
}

TEST(AgentClassifier, RealLogsSplitIntoPeopleAndMachines) {
  NEED_RULES();
  std::map<std::string, int> agents = RealLogAgents();
  if (agents.empty()) GTEST_SKIP() << "the shared real logs are not beside the checkout";
  AgentCache cache(*rules);
  int hits[kAgentClasses] = {};
  std::map<std::string, int> bots;
  for (const auto& [agent, count] : agents) {
    AgentInfo scratch{};
    const AgentInfo& who = cache.Classify(agent, FoldedHash(agent), &scratch);
    hits[static_cast<size_t>(who.agentClass)] += count;
    if (IsBot(who.agentClass)) bots[std::string(who.botName.view())] += count;
  }
  std::printf("real logs: %zu agents;", agents.size());
  for (size_t c = 0; c < kAgentClasses; ++c) {
    std::printf(" %s %d;", std::string(AgentClassWord(static_cast<AgentClass>(c))).c_str(),
                hits[c]);
  }
  std::printf("\n");
  // What the logs' README and a count of their agents show.
  EXPECT_GE(bots["Googlebot"], 428 + 271 + 237);
  EXPECT_EQ(bots["Apache (internal dummy connection)"], 528);
  EXPECT_GE(bots["facebookexternalhit"], 695 + 214);
  EXPECT_GT(hits[static_cast<size_t>(AgentClass::kHuman)], 8000);
  EXPECT_GT(hits[static_cast<size_t>(AgentClass::kSearchCrawler)], 1500);
  EXPECT_EQ(cache.uncached(), 0u);
}

// Named for the suite CI runs under ThreadSanitizer: the reading threads
// share the rules and keep a cache each.
TEST(ThreadedReading, AgentCachesOnManyThreadsAgreeWithOne) {
  NEED_RULES();
  std::map<std::string, int> counted = RealLogAgents();
  std::vector<std::string> agents;
  for (const auto& entry : counted) agents.push_back(entry.first);
  for (const Expected& e : kAgents) agents.push_back(e.agent);
  std::vector<std::string> alone(agents.size());
  {
    AgentCache cache(*rules);
    for (size_t i = 0; i < agents.size(); ++i) {
      AgentInfo scratch{};
      alone[i] = Describe(cache.Classify(agents[i], FoldedHash(agents[i]), &scratch));
    }
  }
  constexpr size_t kThreads = 3;
  std::vector<std::vector<std::string>> seen(kThreads, std::vector<std::string>(agents.size()));
  std::vector<std::thread> threads;
  for (size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      AgentCache cache(*rules, 64);  // small, so some agents go uncached
      for (size_t round = 0; round < 2; ++round) {
        for (size_t k = 0; k < agents.size(); ++k) {
          size_t i = (k * (t + 1) + round) % agents.size();
          AgentInfo scratch{};
          seen[t][i] = Describe(cache.Classify(agents[i], FoldedHash(agents[i]), &scratch));
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (size_t t = 0; t < kThreads; ++t) {
    for (size_t i = 0; i < agents.size(); ++i) {
      if (seen[t][i].empty()) continue;  // a stride that missed it
      EXPECT_EQ(seen[t][i], alone[i]) << agents[i];
    }
  }
}

}  // namespace
}  // namespace logvane
