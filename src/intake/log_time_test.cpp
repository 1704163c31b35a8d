#include "intake/log_time.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

std::string Shown(bool ok, const DayAndHour& t) {
  if (!ok) return "no";
  return std::string(t.dateText.view()) + " " + std::string(t.hour, 2);
}

TEST(LogTime, EachFormOrNone) {
  struct Case {
    const char* form;  // L local, I ISO 8601, E epoch seconds, M msec, U usec, A any
    const char* text;
    const char* expected;
  } cases[] = {
      {"L", "10/Oct/2000:13:55:36 -0700", "10/Oct/2000 13"},
      {"L", "7/oct/2000:03:55:36 +0000", "07/oct/2000 03"},  // month kept as written
      {"L", "10/Okt/2000:13:55:36 -0700", "no"},
      {"L", "10/Oct/2000 13:55:36", "no"},
      {"L", "10/Oct/2000:1", "no"},
      {"I", "2000-10-10T13:55:36-07:00", "10/Oct/2000 13"},  // its own zone kept
      {"I", "2026-02-28 23:59:59.123Z", "28/Feb/2026 23"},
      {"I", "2026-13-01T00:00:00Z", "no"},
      {"I", "2026-01-01", "no"},
      {"E", "971211336", "10/Oct/2000 20"},  // UTC
      {"E", "971211336.123", "10/Oct/2000 20"},
      {"E", "0", "01/Jan/1970 00"},
      {"E", "1e9", "no"},
      {"E", "99999999999999999999", "no"},
      {"M", "971211336123", "10/Oct/2000 20"},
      {"M", "971211336.1", "no"},
      {"U", "971211336123456", "10/Oct/2000 20"},
      {"A", "2000-10-10T13:55:36Z", "10/Oct/2000 13"},
      {"A", "10/Oct/2000:13:55:36 -0700", "10/Oct/2000 13"},
      {"A", "971211336.5", "10/Oct/2000 20"},
      {"A", "yesterday", "no"},
      {"A", "", "no"},
  };
  for (const Case& c : cases) {
    DayAndHour t{};
    bool ok = false;
    switch (c.form[0]) {
      case 'L': ok = TimeFromLocal(c.text, &t); break;
      case 'I': ok = TimeFromIso8601(c.text, &t); break;
      case 'E': ok = TimeFromEpoch(c.text, 1, &t); break;
      case 'M': ok = TimeFromEpoch(c.text, 1000, &t); break;
      case 'U': ok = TimeFromEpoch(c.text, 1000000, &t); break;
      default: ok = TimeFromAny(c.text, &t); break;
    }
    EXPECT_EQ(Shown(ok, t), c.expected) << c.form << " " << c.text;
  }
}

// The full clock, which only FROM and UNTIL read.
TEST(LogTime, FullClockOfEachFormOrNone) {
  struct Case {
    const char* form;  // L local, I ISO 8601, E epoch seconds, M msec, A any
    const char* text;
    const char* expected;  // y-m-d h:m:s offset
  } cases[] = {
      {"L", "10/Oct/2000:13:55:36 -0700", "2000-10-10 13:55:36 -420"},
      {"L", "7/Oct/2000:03:05:06 +0130] \"GET", "2000-10-7 3:5:6 90"},
      {"L", "10/Oct/2000:13:55:36]", "2000-10-10 13:55:36 0"},
      {"L", "10/Oct/2000:13:55", "no"},
      {"L", "10/Oct/2000:24:00:00 +0000", "no"},
      {"L", "10/Oct/2000:13:55:36 x", "no"},
      {"I", "2000-10-10T13:55:36-07:00", "2000-10-10 13:55:36 -420"},
      {"I", "2000-10-10T13:55:36.250+0530", "2000-10-10 13:55:36 330"},
      {"I", "2000-10-10 13:55Z", "2000-10-10 13:55:0 0"},
      {"I", "2000-10-10T13:55:36", "2000-10-10 13:55:36 0"},
      {"I", "2000-10-10T13:61:00Z", "no"},
      {"I", "2000-10-10T13:55:36+24:00", "no"},
      {"E", "971211336.9", "2000-10-10 20:55:36 0"},
      {"M", "971211336999", "2000-10-10 20:55:36 0"},
      {"A", "971211336", "2000-10-10 20:55:36 0"},
      {"A", "2000-10-10T13:55:36Z", "2000-10-10 13:55:36 0"},
      {"A", "soon", "no"},
  };
  for (const Case& c : cases) {
    RecordTime t{};
    bool ok = false;
    switch (c.form[0]) {
      case 'L': ok = ClockFromLocal(c.text, &t); break;
      case 'I': ok = ClockFromIso8601(c.text, &t); break;
      case 'E': ok = ClockFromEpoch(c.text, 1, &t); break;
      case 'M': ok = ClockFromEpoch(c.text, 1000, &t); break;
      default: ok = ClockFromAny(c.text, &t); break;
    }
    std::string shown = !ok ? "no"
                            : std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                                  std::to_string(t.day) + " " + std::to_string(t.hour) + ":" +
                                  std::to_string(t.minute) + ":" + std::to_string(t.second) + " " +
                                  std::to_string(t.offsetMinutes);
    EXPECT_EQ(shown, c.expected) << c.form << " " << c.text;
  }
}

}  // namespace
}  // namespace logvane
