#include "agents/uap_regexes.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

TEST(UapRegexes, ReadsTheListsWithTheirReplacementsAndFlag) {
  if (!CanReadUapRegexes()) GTEST_SKIP() << "built without libyaml";
  const char* text =
      "# comment\n"
      "user_agent_parsers:\n"
      "  - regex: '(Foo)/(\\d+)'\n"
      "    family_replacement: 'Foo $1'\n"
      "    v1_replacement: '7'\n"
      "os_parsers:\n"
      "  - regex: 'Win(95|98)'\n"
      "    os_replacement: 'Windows $1'\n"
      "    os_v4_replacement: 'x'\n"
      "    unknown_key: 'passed over'\n"
      "device_parsers:\n"
      "  - regex: \"(?:Phone) ([A-Z]+)\"\n"
      "    regex_flag: 'i'\n"
      "    device_replacement: 'Phone $1'\n"
      "    brand_replacement: 'Acme'\n"
      "    model_replacement: '$1'\n"
      "  - regex: 'Tablet'\n";
  UapRegexes r;
  ASSERT_TRUE(ParseUapRegexes(text, "regexes.yaml", &r).ok());
  ASSERT_EQ(r.userAgent.size(), 1u);
  ASSERT_EQ(r.os.size(), 1u);
  ASSERT_EQ(r.device.size(), 2u);
  EXPECT_EQ(r.userAgent[0].regex, "(Foo)/(\\d+)");
  EXPECT_EQ(r.userAgent[0].line, 3u);
  EXPECT_TRUE(r.userAgent[0].Has(0) && r.userAgent[0].Has(1) && !r.userAgent[0].Has(2));
  EXPECT_EQ(r.userAgent[0].replacement[0], "Foo $1");
  EXPECT_EQ(r.os[0].replacement[4], "x");
  EXPECT_FALSE(r.os[0].caseless);
  EXPECT_TRUE(r.device[0].caseless);
  EXPECT_EQ(r.device[0].replacement[1], "Acme");
  EXPECT_EQ(r.device[1].given, 0);
}

TEST(UapRegexes, ABrokenFileGivesTheLineAndTheReason) {
  if (!CanReadUapRegexes()) GTEST_SKIP() << "built without libyaml";
  struct Case {
    const char* text;
    const char* where;
    const char* reason;  // a part of the message
  };
  const Case cases[] = {
      {"", "line 1", "empty"},
      {"just text\n", "line 1", "expected the lists"},
      {"other: 1\n", "line 1", "none of the lists"},
      {"user_agent_parsers: 'x'\n", "line 1", "must be a list"},
      {"os_parsers:\n  - 'x'\n", "line 2", "must be a mapping"},
      {"os_parsers:\n  - os_replacement: 'x'\n", "line 2", "without a 'regex'"},
      {"os_parsers:\n  - regex: 'a'\n    regex: 'b'\n", "line 2", "'regex' given twice"},
      {"os_parsers:\n  - regex: 'a'\n    regex_flag: 'x'\n", "line 2", "unknown regex_flag"},
      {"os_parsers:\n  - regex: [a, b]\n", "line 2", "must be a text"},
      {"os_parsers:\n  - regex: 'a\n", "line 3", "quoted scalar"},
      {"os_parsers:\n  - regex: &a 'x'\n    os_replacement: *a\n", "line 3", "aliases"},
      {"os_parsers: []\nos_parsers: []\n", "line 2", "given twice"},
      {"os_parsers: []\n---\nos_parsers: []\n", "line 2", "second document"},
      {"os_parsers:\n  - regex: 'a'\n\tbad: tab\n", "line 3", ""},
  };
  for (const Case& c : cases) {
    UapRegexes r;
    r.os.emplace_back();
    Status s = ParseUapRegexes(c.text, "/x/regexes.yaml", &r);
    EXPECT_EQ(s.code(), StatusCode::kCorrupt) << c.text;
    EXPECT_EQ(s.path(), "/x/regexes.yaml");
    EXPECT_EQ(s.where(), c.where) << c.text << s.ToString();
    EXPECT_NE(s.message().find(c.reason), std::string::npos) << c.text << s.ToString();
    EXPECT_TRUE(r.userAgent.empty() && r.os.empty() && r.device.empty()) << c.text;
  }
}

TEST(UapRegexes, OtherTopLevelKeysAndAnEmptyListArePassedOver) {
  if (!CanReadUapRegexes()) GTEST_SKIP() << "built without libyaml";
  UapRegexes r;
  ASSERT_TRUE(ParseUapRegexes("meta: {a: [1, {b: 2}]}\ndevice_parsers:\nos_parsers:\n"
                              "  - regex: 'x'\n",
                              "f", &r)
                  .ok());
  EXPECT_TRUE(r.device.empty());
  EXPECT_EQ(r.os.size(), 1u);
}

TEST(UapRegexes, ABuildWithoutLibyamlSaysSo) {
  if (CanReadUapRegexes()) GTEST_SKIP() << "built with libyaml";
  UapRegexes r;
  Status s = ParseUapRegexes("os_parsers: []\n", "f", &r);
  EXPECT_EQ(s.code(), StatusCode::kUnsupported);
  EXPECT_NE(s.message().find("libyaml"), std::string::npos);
}

}  // namespace
}  // namespace logvane
