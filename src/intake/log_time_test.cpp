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

}  // namespace
}  // namespace logvane
