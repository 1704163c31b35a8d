#include "agents/bot_words.h"

#include <gtest/gtest.h>

namespace logvane {
namespace {

TEST(BotWords, FindsBotWordsAsWholeWordsOnly) {
  struct Case {
    const char* agent;
    const char* word;  // "" for none
  };
  const Case cases[] = {
      {"Mozilla/5.0 (compatible; PaperLiBot/2.1; http://x.example)", "PaperLiBot"},
      {"SocialRankIOBot; http://socialrank.io/about", "SocialRankIOBot"},
      {"woobot/2.0", "woobot"},
      {"magpie-crawler/1.1 (U; Linux amd64)", "magpie-crawler"},
      {"Mozilla/5.0 (compatible; YisouSpider)", "YisouSpider"},
      {"Feedbin - 1 subscribers", "subscribers"},
      {"ETI SEO bot - www.seo.eti.pw", "bot"},
      {"Robot Framework 6.1", ""},
      {"Mozilla/5.0 (Linux; Android 10; CUBOT X30)", ""},
      {"Mozilla/5.0 (Linux; Android 9; Cubot_Note_Plus Build/PPR1)", ""},
      {"Bottle/0.12.25 (Python/3.11)", ""},
      {"Scanbot", ""},
      {"Mozilla/5.0 (+http://www.example.com/bot.html)", ""},  // in an address: not a name
  };
  for (const Case& c : cases) EXPECT_EQ(FindBotWord(c.agent), c.word) << c.agent;
}

TEST(BotWords, ContactAddresses) {
  struct Case {
    const char* agent;
    bool contact;
    const char* host;
  };
  const Case cases[] = {
      {"Foo/1.0 (+http://www.example.com/bot.html)", true, "example.com"},
      {"Foo/1.0 (https://crawler.example.org:8080/x)", true, "crawler.example.org"},
      {"Tiny Tiny RSS/1.11 (http://tt-rss.org/)", true, "tt-rss.org"},
      {"grokkit (pdsupport@purediscovery.com)", true, "purediscovery.com"},
      {"Mozilla/5.0 (compatible; um-LN/1.0; mailto: techinfo@ubermetrics.example)", true,
       "ubermetrics.example"},
      {"Mozilla/5.0 (compatible; mailto:)", true, ""},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) Chrome/124.0 Safari/537.36", false, ""},
      {"Foo@ bar", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasContactAddress(c.agent), c.contact) << c.agent;
    EXPECT_EQ(ContactHost(c.agent), c.host) << c.agent;
  }
}

TEST(BotWords, SpiderEvidenceMustBeABotWord) {
  std::string_view a = "Robot Framework";
  EXPECT_FALSE(IsSpiderEvidence(a, 2, 5));  // "bot" in "Robot"
  std::string_view b = "MyApp Bottle/0.12";
  EXPECT_FALSE(IsSpiderEvidence(b, 6, 9));  // "Bot" in "Bottle"
  std::string_view c = "Foo crawler/1.0";
  EXPECT_TRUE(IsSpiderEvidence(c, 4, 9));  // "crawl" that begins "crawler"
  std::string_view d = "Java/1.8.0";
  EXPECT_TRUE(IsSpiderEvidence(d, 0, 5));
  std::string_view e = "FooBot/1.0";
  EXPECT_TRUE(IsSpiderEvidence(e, 3, 6));
  EXPECT_FALSE(IsSpiderEvidence(e, 3, 99));  // out of range
}

}  // namespace
}  // namespace logvane
