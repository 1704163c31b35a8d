#include "tally/weekdays.h"

#include <gtest/gtest.h>

namespace logvane {
namespace {

TEST(WeekdayTest, CalendarDaysAndNormalisation) {
  const struct {
    const char* key;
    int weekday;  // -1: none
  } cases[] = {
      {"08/Oct/1998", 4},  // a Thursday
      {"01/Jan/1970", 4},  {"29/Feb/2000", 2},
      {"01/Mar/1900", 4},  {"31/Apr/2001", 2},  // the 1st of May
      {"01/May/2001", 2},  {"30/Feb/2001", 5},  // the 2nd of March
      {"99/Dec/1999", 3},                       // 68 days on: the 8th of March 2000
      {"01/jan/0001", 1},                       // proleptic Gregorian: a Monday
      {"31/Dec/9999", 5},  {"04/JUL/1776", 4},
      {"15/Oct/1582", 5},  {"00/Jan/2000", -1},
      {"01/Foo/2000", -1}, {"01/Jan/0000", -1},
      {" 1/Jan/2000", -1},  // digits only, no blanks
      {"01/Jan/", -1},     {"", -1},
  };
  for (const auto& c : cases) {
    std::optional<int> weekday = WeekdayOfDateKey(c.key);
    EXPECT_EQ(weekday.value_or(-1), c.weekday) << c.key;
  }
}

}  // namespace
}  // namespace logvane
