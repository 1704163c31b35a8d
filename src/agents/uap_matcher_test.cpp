#include "agents/uap_matcher.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

UapRule Rule(std::string regex, std::vector<std::pair<size_t, std::string>> replacements = {},
             bool caseless = false) {
  UapRule rule;
  rule.regex = std::move(regex);
  rule.caseless = caseless;
  for (auto& [field, text] : replacements) {
    rule.replacement[field] = text;
    rule.given = static_cast<uint8_t>(rule.given | (1u << field));
  }
  return rule;
}

struct Built {
  UapMatcher matcher;
  RefusedExpressions refused;
  UapScratch scratch;
  explicit Built(const UapRegexes& r) { EXPECT_TRUE(matcher.Build(r, "test.yaml", &refused).ok()); }
  UapMatch Match(UapList list, std::string_view agent, unsigned fields = kUapAllFields) {
    UapMatch m;
    matcher.Match(list, agent, fields, scratch, &m);
    return m;
  }
};

std::string Fields(const UapMatch& m) {
  std::string out;
  for (const auto& f : m.fields) out += std::string(f.view()) + "|";
  return out;
}

TEST(UapMatcher, TheFirstMatchingExpressionWinsAndFillsTheFields) {
  if (!CanMatchUapRegexes()) GTEST_SKIP() << "built without RE2";
  UapRegexes r;
  r.userAgent = {Rule("(Chromium)/(\\d+)"), Rule("(Chrome)/(\\d+)\\.(\\d+)"),
                 Rule("(Chrome|Chromium)/(\\d+)", {{0, "Any $1"}, {1, "v$2$9"}}),
                 Rule("Tail(?:/(\\d+))?", {{0, "Tail $1"}}), Rule("^(?:x)( *)$", {})};
  r.os = {Rule("Win(95|98)", {{0, "Windows $1"}}), Rule("(Linux)(?: (\\d+))?")};
  r.device = {Rule("phone ([A-Z]+)", {{0, " Phone $1 "}, {1, "Acme"}}, true), Rule("(Tablet)")};
  Built b(r);
  struct Case {
    UapList list;
    const char* agent;
    int rule;
    const char* fields;
  };
  const Case cases[] = {
      // A later rule never wins over an earlier one that matches too.
      {UapList::kUserAgent, "Chrome/12.3 Chromium/9", 0, "Chromium|9||||"},
      {UapList::kUserAgent, "Chrome/12.3", 1, "Chrome|12|3|||"},
      // $n replaced, a group beyond the expression's gives nothing.
      {UapList::kUserAgent, "Chrome/12", 2, "Any Chrome|v12||||"},
      // A group that took no part gives nothing; trimmed; an empty family is "Other".
      {UapList::kUserAgent, "Tail", 3, "Tail|||||"},
      {UapList::kUserAgent, "x   ", 4, "Other|||||"},
      {UapList::kUserAgent, "Firefox/3", -1, "Other|||||"},
      {UapList::kOs, "Win98", 0, "Windows 98|||||"},
      {UapList::kOs, "Linux 5", 1, "Linux|5||||"},
      // The case flag; the device's brand is only ever a replacement, its
      // model the first group by default.
      {UapList::kDevice, "PHONE XZ", 0, "Phone XZ|Acme|XZ|||"},
      {UapList::kDevice, "Tablet", 1, "Tablet||Tablet|||"},
      {UapList::kDevice, "tablet", -1, "Other|||||"},
  };
  for (const Case& c : cases) {
    UapMatch m = b.Match(c.list, c.agent);
    EXPECT_EQ(m.rule, c.rule) << c.agent;
    EXPECT_EQ(Fields(m), c.fields) << c.agent;
  }
  // Only the family asked for: the others stay empty, the group's place is
  // there when asked.
  UapMatch m = b.Match(UapList::kUserAgent, "Chrome/12.3", 1 | kUapFirstGroup);
  EXPECT_EQ(Fields(m), "Chrome|||||");
  EXPECT_EQ(m.groupBegin, 0);
  EXPECT_EQ(m.groupEnd, 6);
}

TEST(UapMatcher, OpenedRepeatsNeverChangeWhichRuleWins) {
  if (!CanMatchUapRegexes()) GTEST_SKIP() << "built without RE2";
  // The set holds "a.{0,}b"; in an agent longer than 20 only the exact form
  // may decide, and it does not match here, so the second rule wins.
  UapRegexes r;
  r.userAgent = {Rule("a.{0,20}b", {{0, "near"}}), Rule("(a)")};
  Built b(r);
  const std::string far = std::string("a").append(30, 'x').append("b");
  const std::string near = std::string("a").append(10, 'x').append("b");
  const std::string late = std::string(40, 'y').append("a").append(20, 'x').append("b");
  EXPECT_EQ(b.Match(UapList::kUserAgent, far).rule, 1);
  EXPECT_EQ(b.Match(UapList::kUserAgent, near).rule, 0);
  EXPECT_EQ(b.Match(UapList::kUserAgent, late).rule, 0);
}

TEST(UapMatcher, LongAgentsGetTheGroupsOfTheFilesForm) {
  if (!CanMatchUapRegexes()) GTEST_SKIP() << "built without RE2";
  // "(a)[^;]{0,20}(b)": in a long agent the opened form's first match can
  // run past the bound, where only the file's form may say which "a" it is.
  UapRegexes r;
  r.userAgent = {Rule("(a)[^;]{0,20}(b)", {{0, "$1$2"}})};
  Built b(r);
  const std::string past =
      std::string("a").append(30, 'c').append("b a").append(5, 'c').append("b");
  UapMatch m = b.Match(UapList::kUserAgent, past, 1 | kUapFirstGroup);
  EXPECT_EQ(m.rule, 0);
  EXPECT_EQ(m.groupBegin, 33);
  EXPECT_EQ(m.fields[0].view(), "ab");
  // Within the bound, though the agent is long: the same first "a".
  const std::string within = std::string("a").append(5, 'c').append("b").append(40, 'z');
  m = b.Match(UapList::kUserAgent, within, 1 | kUapFirstGroup);
  EXPECT_EQ(m.rule, 0);
  EXPECT_EQ(m.groupBegin, 0);
  // No "b" within 20 of any "a": no match, though the set's opened form has one.
  const std::string none = std::string("a").append(30, 'c').append("b");
  EXPECT_EQ(b.Match(UapList::kUserAgent, none).rule, -1);
}

TEST(UapMatcher, ExpressionsRe2CannotTakeAreCountedAndSkipped) {
  if (!CanMatchUapRegexes()) GTEST_SKIP() << "built without RE2";
  UapRegexes r;
  r.userAgent = {Rule("(a)(?=b)"), Rule("(x)\\1"), Rule("(a)", {{0, "kept"}})};
  r.userAgent[0].line = 7;
  Built b(r);
  EXPECT_EQ(b.refused.count, 2u);
  ASSERT_EQ(b.refused.first.size(), 2u);
  EXPECT_EQ(b.refused.first[0].rfind("user_agent_parsers, line 7: ", 0), 0u) << b.refused.first[0];
  EXPECT_EQ(b.matcher.RuleCount(), 1u);
  UapMatch m = b.Match(UapList::kUserAgent, "ab");
  EXPECT_EQ(m.rule, 0);  // numbered among the rules kept
  EXPECT_EQ(m.fields[0].view(), "kept");
}

TEST(UapMatcher, ABuildWithoutRe2SaysSo) {
  if (CanMatchUapRegexes()) GTEST_SKIP() << "built with RE2";
  UapMatcher matcher;
  RefusedExpressions refused;
  Status s = matcher.Build(UapRegexes(), "f", &refused);
  EXPECT_EQ(s.code(), StatusCode::kUnsupported);
  EXPECT_NE(s.message().find("RE2"), std::string::npos);
}

}  // namespace
}  // namespace logvane
