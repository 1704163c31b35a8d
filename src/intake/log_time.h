// Times of the formats beyond combined, turned into the day and hour the
// report counts: dd/Mon/yyyy and two hour digits, always in the zone the
// log itself gives (epoch times carry none and are read as UTC).
#ifndef LOGVANE_INTAKE_LOG_TIME_H_
#define LOGVANE_INTAKE_LOG_TIME_H_

#include <string_view>

#include "common/ascii_text.h"
#include "config/date_range.h"

namespace logvane {

struct DayAndHour {
  FixedText<11> dateText;  // dd/Mon/yyyy
  char hour[2];
};

// 10/Oct/2000:13:55:36 -0700 (Apache's %t without brackets, nginx's
// $time_local); a one-digit day is padded as in the bracket date.
bool TimeFromLocal(std::string_view text, DayAndHour* out);

// 2000-10-10T13:55:36-07:00, a blank for the T, any fraction or zone.
bool TimeFromIso8601(std::string_view text, DayAndHour* out);

// Whole seconds since 1970, or seconds with a fraction (nginx's $msec).
// `divisor` turns Apache's %{msec}t (1000) and %{usec}t (1000000) into
// seconds; the fraction is then not allowed.
bool TimeFromEpoch(std::string_view text, int64_t divisor, DayAndHour* out);

// Any of the three, recognised by its shape (for JSON keys that may hold
// either).
bool TimeFromAny(std::string_view text, DayAndHour* out);

// The full clock of the same forms, which only FROM and UNTIL need: the
// local time with its seconds and the zone offset the text states (0 when
// it states none, and for epoch times, which are UTC). False when a part
// is missing or out of its range.
bool ClockFromLocal(std::string_view text, RecordTime* out);
bool ClockFromIso8601(std::string_view text, RecordTime* out);
bool ClockFromEpoch(std::string_view text, int64_t divisor, RecordTime* out);
bool ClockFromAny(std::string_view text, RecordTime* out);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LOG_TIME_H_
