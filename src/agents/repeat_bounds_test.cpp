#include "agents/repeat_bounds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace logvane {
namespace {

std::string Spans(const OpenedRegex& r) {
  std::string out;
  for (const auto& s : r.spans)
    out += std::to_string(s.group) + "<=" + std::to_string(s.bound) + " ";
  return out;
}

std::string Groups(const OpenedRegex& r) {
  std::string out;
  for (uint32_t g : r.groupOf) out += std::to_string(g) + " ";
  return out;
}

TEST(RepeatBounds, OpensLargeRepeatsOfOneCharacterOnly) {
  struct Case {
    const char* regex;
    const char* opened;
    size_t exactUpTo;
  };
  const Case cases[] = {
      {"^.{0,100}(bot)", "^.{0,}(bot)", 100},
      {"; *([^;/]{1,100}) Build", "; *([^;/]{1,}) Build", 100},
      {".{1,200}x[^;]{0,30}?y", ".{1,}x[^;]{0,}?y", 30},
      {"\\d{1,2}\\.\\d{2,}", "\\d{1,2}\\.\\d{2,}", SIZE_MAX},    // below the least bound
      {"(ab){1,50}", "(ab){1,50}", SIZE_MAX},                    // a group, not one character
      {"\\x41{1,50}\\x{42}{0,30}", "\\x41{1,}\\x{42}{0,}", 30},  // one character, written longer
      {"\\Qa{1,50}\\E", "\\Qa{1,50}\\E", SIZE_MAX},              // literal text
      {"\\ {0,40}", "\\ {0,}", 40},
      {"[]{]{0,40}", "[]{]{0,}", 40},  // "]" and "{" as members
      {"[[:alpha:]]{0,40}", "[[:alpha:]]{0,}", 40},
      {".{0,2000}", ".{0,2000}", SIZE_MAX},  // past RE2's limit: refused as it is
      {"a{1,x}", "a{1,x}", SIZE_MAX},
      {"[abc", "[abc", SIZE_MAX},
      {"trailing\\", "trailing\\", SIZE_MAX},
  };
  for (const Case& c : cases) {
    OpenedRegex r = OpenBoundedRepeats(c.regex);
    EXPECT_EQ(r.opened, c.opened) << c.regex;
    EXPECT_EQ(r.exactUpTo, c.exactUpTo) << c.regex;
  }
}

TEST(RepeatBounds, TheCheckedFormGroupsEachOpenedRepeatAndRenumbersTheOthers) {
  struct Case {
    const char* regex;
    const char* checked;
    const char* groupOf;
    const char* spans;
  };
  const Case cases[] = {
      {"^.{0,100}?(bot)(?:x)(?P<n>y)", "^(.{0,}?)(bot)(?:x)(?P<n>y)", "2 3 ", "1<=100 "},
      {"(a)([^;]{1,30}) (\\d+)", "(a)(([^;]{1,})) (\\d+)", "1 2 4 ", "3<=30 "},
      {"(?:x.{0,50})?y", "(?:x(.{0,}))?y", "", "1<=50 "},  // taken at most once: still checked
      {"(?:x.{0,50})+y", "", "", "1<=50 "},                // repeated: the group shows one round
      {"(?:x.{0,50}){2}y", "", "", "1<=50 "},
      {"(a)b", "", "1 ", ""},  // nothing opened
  };
  for (const Case& c : cases) {
    OpenedRegex r = OpenBoundedRepeats(c.regex);
    EXPECT_EQ(r.checked, c.checked) << c.regex;
    EXPECT_EQ(Groups(r), c.groupOf) << c.regex;
    EXPECT_EQ(Spans(r), c.spans) << c.regex;
  }
}

}  // namespace
}  // namespace logvane
