// The fields that a format-driven parser found in one line, and how they
// become the record that the marker parser would have filled for the same
// request, so both feed the same routing.
#ifndef LOGVANE_INTAKE_LINE_FIELDS_H_
#define LOGVANE_INTAKE_LINE_FIELDS_H_

#include <string_view>

#include "intake/log_format.h"
#include "intake/log_parser.h"
#include "intake/log_time.h"

namespace logvane {

// A field is present when its view has data (an empty field found in the
// line is present and empty).
struct LineFields {
  std::string_view client, ident, authUser;
  std::string_view request, method, uri, protocol;
  std::string_view status, bytes;
  std::string_view extra[2];
  std::string_view agent;      // the user agent, whichever field the extras show
  std::string_view timeTaken;  // the text of the time-taken field
  TimeTakenForm timeTakenForm;
  bool hasTime;
  DayAndHour time;
  // The field that gave the day and hour, for its full clock (FROM, UNTIL).
  FieldRole timeRole;
  std::string_view timeText;
};

inline void ClearLineFields(LineFields& f) {
  f.client = f.ident = f.authUser = {};
  f.request = f.method = f.uri = f.protocol = {};
  f.status = f.bytes = {};
  f.extra[0] = f.extra[1] = {};
  f.agent = {};
  f.timeTaken = {};
  f.hasTime = false;
}

// Puts `text` in the field that `role` fills, the last of a role winning;
// false for a role that fills none of them (a time, or a meaning only
// JSON keys have).
bool PutField(FieldRole role, std::string_view text, LineFields& fields);

// The day and hour of a time field of `role`; false when it reads as none.
bool ReadTimeField(FieldRole role, std::string_view text, DayAndHour* time);

// The full clock of the same field (FROM and UNTIL); false when it has none.
bool ReadClockField(FieldRole role, std::string_view text, RecordTime* clock);

// Fills `record` (already begun on the line) from `fields` as far as
// ParseLogLine would get on the same request: the SELECT test, then every
// field, the page's fault found as the marker parser finds it within the
// request. A request put together from its parts goes to `store` (at
// least kRecordTextWidth bytes), of which `storeUsed` are taken already;
// gives the bytes it took there: at most 3 more than the method, URI and
// protocol it is made of, and never past the store's kRecordTextWidth.
size_t FillRecordFromFields(const LineFields& fields, const LineFormat& format, char* store,
                            size_t storeUsed, LogRecord& record);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LINE_FIELDS_H_
