// Holds two parses of one line against each other, field by field.
#ifndef LOGVANE_TESTS_SUPPORT_RECORD_CHECK_H_
#define LOGVANE_TESTS_SUPPORT_RECORD_CHECK_H_

#include <string_view>

#include "intake/log_parser.h"

namespace logvane::testing {

// The same part of `line`, or (for a text not in the line, like "/") the
// same text.
inline bool SameSpan(std::string_view a, std::string_view b, std::string_view line) {
  auto inside = [&](std::string_view s) {
    return s.data() >= line.data() && s.data() <= line.data() + line.size();
  };
  if (a.empty() && b.empty()) return true;
  if (inside(a) || inside(b)) return a.data() == b.data() && a.size() == b.size();
  return a == b;
}

// The first field in which two records of the same line differ, spans and
// positions included; empty when they agree.
inline const char* RecordDifference(const LogRecord& x, const LogRecord& y) {
  std::string_view l = x.line;
  const struct {
    const char* name;
    bool same;
  } checks[] = {
      {"line", x.line.data() == y.line.data() && x.line.size() == y.line.size()},
      {"byteCount", x.byteCount == y.byteCount},
      {"requestText", x.requestText.view() == y.requestText.view()},
      {"hasClientAddress", x.hasClientAddress == y.hasClientAddress},
      {"clientAddress", SameSpan(x.clientAddress, y.clientAddress, l)},
      {"userName", SameSpan(x.userName, y.userName, l)},
      {"dateText", x.dateText.view() == y.dateText.view()},
      {"hourText", SameSpan(x.hourText, y.hourText, l)},
      {"page", x.page.view() == y.page.view()},
      {"directory", SameSpan(x.directory, y.directory, l)},
      {"statusCode", x.statusCode == y.statusCode},
      {"hasExtra1", x.hasExtra1 == y.hasExtra1},
      {"hasExtra2", x.hasExtra2 == y.hasExtra2},
      {"extra1", SameSpan(x.extra1, y.extra1, l)},
      {"extra2", SameSpan(x.extra2, y.extra2, l)},
      {"bracket", x.bracket == y.bracket},
      {"twoDigitDay", x.twoDigitDay == y.twoDigitDay},
      {"requestOpen", x.requestOpen == y.requestOpen},
      {"requestClose", x.requestClose == y.requestClose},
      {"firstBlank", x.firstBlank == y.firstBlank},
      {"urlStart", x.urlStart == y.urlStart},
      {"urlEnd", x.urlEnd == y.urlEnd},
      {"urlClose", x.urlClose == y.urlClose},
      {"extrasEnd", x.extrasEnd == y.extrasEnd},
      {"bracketFault", x.bracketFault == y.bracketFault},
      {"selected", x.selected == y.selected},
      {"hourFault", x.hourFault == y.hourFault},
      {"pageFault", x.pageFault == y.pageFault},
  };
  for (const auto& c : checks) {
    if (!c.same) return c.name;
  }
  return "";
}

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_RECORD_CHECK_H_
