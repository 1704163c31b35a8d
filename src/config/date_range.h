// The range of time a run counts (FROM= and UNTIL=): each end a date
// YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS], optionally followed by a zone
// offset (Z, +02:00, +0200 or +02). Without an offset an end is read in the
// log's own time: a record's local time as it carries it, whatever its zone
// (so FROM=2025-03-01 keeps every record that says the 1st or later). With
// an offset it is an instant, and a record is placed by its local time and
// its own offset. FROM is inclusive; UNTIL is inclusive for a date (the
// whole day) and exclusive for a time.
//
// Plain values: the check of a record does no allocation and no search.
#ifndef LOGVANE_CONFIG_DATE_RANGE_H_
#define LOGVANE_CONFIG_DATE_RANGE_H_

#include <cstdint>
#include <string_view>

#include "common/status.h"

namespace logvane {

// One end of the range as the first second it excludes (UNTIL) or includes
// (FROM): seconds since 1970-01-01T00:00, counted on the record's local
// clock when `absolute` is false, in UTC when true.
struct DateBound {
  bool set = false;
  bool absolute = false;
  int64_t seconds = 0;
  bool operator==(const DateBound&) const = default;
};

struct DateRange {
  DateBound from;
  DateBound until;
  bool operator==(const DateRange&) const = default;
};

// A record's time as the log writes it: the local calendar time and the
// zone offset it states, in minutes east of UTC (0 for logs in UTC).
struct RecordTime {
  int32_t year;
  int32_t month;  // 1 to 12
  int32_t day;    // 1 to 31
  int32_t hour;
  int32_t minute;
  int32_t second;
  int32_t offsetMinutes;
  bool operator==(const RecordTime&) const = default;
};

enum class BoundKind { kFrom, kUntil };

// Reads a FROM or UNTIL value (blanks around it are ignored). A value that
// is not a date or time of the forms above, or names a day or time that
// does not exist (2025-02-30, 24:00, an offset past 23:59), is refused with
// the reason, ready to follow "FROM=...: ".
Status ParseDateBound(std::string_view text, BoundKind kind, DateBound* bound);

// Refuses a range that keeps nothing: FROM at or after UNTIL when both are
// read on the same clock (a local and an absolute end cannot be compared
// before the records say their zone).
Status CheckDateRange(const DateRange& range);

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar (H.
// Hinnant's days_from_civil); a day past its month's end counts on.
inline int64_t CivilDays(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// Seconds since 1970-01-01T00:00 of a calendar time.
inline int64_t CivilSeconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                            int64_t second) {
  return CivilDays(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

// A record's clock as an instant (UTC seconds), for ordering records of
// different zones.
inline int64_t InstantOf(const RecordTime& t) {
  return CivilSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second) -
         int64_t{t.offsetMinutes} * 60;
}

// The calendar time of such seconds, with an offset of 0: for messages
// that name a bound or a record's time.
RecordTime CivilTimeOf(int64_t seconds);

// Whether a record lies before FROM, or at or after UNTIL; an end not set
// excludes nothing.
inline bool BeforeFrom(const DateRange& range, const RecordTime& t) {
  if (!range.from.set) return false;
  int64_t local = CivilSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second);
  int64_t at = range.from.absolute ? local - int64_t{t.offsetMinutes} * 60 : local;
  return at < range.from.seconds;
}

inline bool AtOrAfterUntil(const DateRange& range, const RecordTime& t) {
  if (!range.until.set) return false;
  int64_t local = CivilSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second);
  int64_t at = range.until.absolute ? local - int64_t{t.offsetMinutes} * 60 : local;
  return at >= range.until.seconds;
}

inline bool InDateRange(const DateRange& range, const RecordTime& t) {
  return !BeforeFrom(range, t) && !AtOrAfterUntil(range, t);
}

}  // namespace logvane

#endif  // LOGVANE_CONFIG_DATE_RANGE_H_
