#include "agents/repeat_bounds.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace logvane {
namespace {

TEST(RepeatBounds, OpensLargeRepeatsOfOneCharacterOnly) {
  struct Case {
    const char* regex;
    const char* opened;
    size_t bound;
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
    size_t bound = 0;
    EXPECT_EQ(OpenBoundedRepeats(c.regex, &bound), c.opened) << c.regex;
    EXPECT_EQ(bound, c.bound) << c.regex;
  }
}

}  // namespace
}  // namespace logvane
