#include "config/date_range.h"

#include <string>

#include "platform/diagnostics.h"

namespace logvane {

namespace {

constexpr std::string_view kForms =
    "write YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], with an optional offset such as Z or +02:00";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// `count` digits at `at`, or -1.
int Digits(std::string_view text, size_t at, size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

Status Refused(std::string reason) { return Status::Invalid({}, {}, std::move(reason)); }

std::string TwoDigits(int n) { return std::string(1, char('0' + n / 10)) + char('0' + n % 10); }

// A zone offset at the start of `text`: Z, or a sign with hours and
// optional minutes, with or without the colon. Minutes east of UTC.
Status ParseOffset(std::string_view text, int* minutes) {
  if (text == "Z" || text == "z") {
    *minutes = 0;
    return Status::Ok();
  }
  int sign = text[0] == '+' ? 1 : text[0] == '-' ? -1 : 0;
  int hours = Digits(text, 1, 2);
  int mins = 0;
  size_t end = 3;
  if (sign != 0 && hours >= 0 && text.size() > 3) {
    size_t at = text[3] == ':' ? 4 : 3;
    mins = Digits(text, at, 2);
    end = at + 2;
  }
  if (sign == 0 || hours < 0 || mins < 0 || end != text.size()) {
    return Refused("text after the date or time: " + Quoted(text) + "; " + std::string(kForms));
  }
  if (hours > 23 || mins > 59)
    return Refused("the zone offset " + Quoted(text) + " does not exist");
  *minutes = sign * (hours * 60 + mins);
  return Status::Ok();
}

}  // namespace

Status ParseDateBound(std::string_view text, BoundKind kind, DateBound* bound) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  int year = Digits(text, 0, 4);
  int month = Digits(text, 5, 2);
  int day = Digits(text, 8, 2);
  if (year < 0 || month < 0 || day < 0 || text[4] != '-' || text[7] != '-') {
    return Refused(Quoted(text) + " is not a date: " + std::string(kForms));
  }
  if (month < 1 || month > 12) return Refused("month " + TwoDigits(month) + " does not exist");
  if (day < 1 || day > DaysInMonth(year, month)) {
    return Refused(std::string(text.substr(0, 7)) + " has no day " + TwoDigits(day));
  }
  size_t i = 10;
  bool isTime = false;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (i < text.size() && (text[i] == 'T' || text[i] == 't' || text[i] == ' ')) {
    hour = Digits(text, i + 1, 2);
    minute = i + 3 < text.size() && text[i + 3] == ':' ? Digits(text, i + 4, 2) : -1;
    if (hour < 0 || minute < 0) {
      return Refused(Quoted(text) + " has no time HH:MM after its date: " + std::string(kForms));
    }
    i += 6;
    if (i < text.size() && text[i] == ':') {
      second = Digits(text, i + 1, 2);
      if (second < 0) return Refused(Quoted(text) + " has no seconds after the colon");
      i += 3;
    }
    if (hour > 23) return Refused("hour " + TwoDigits(hour) + " does not exist");
    if (minute > 59) return Refused("minute " + TwoDigits(minute) + " does not exist");
    if (second > 59) return Refused("second " + TwoDigits(second) + " does not exist");
    isTime = true;
  }
  int offset = 0;
  bool absolute = i < text.size();
  if (absolute) {
    Status status = ParseOffset(text.substr(i), &offset);
    if (!status.ok()) return status;
  }
  int64_t seconds = CivilSeconds(year, month, day, hour, minute, second);
  // UNTIL a date takes in that whole day.
  if (kind == BoundKind::kUntil && !isTime) seconds += 86400;
  bound->set = true;
  bound->absolute = absolute;
  bound->seconds = seconds - int64_t{offset} * 60;
  return Status::Ok();
}

Status CheckDateRange(const DateRange& range) {
  if (range.from.set && range.until.set && range.from.absolute == range.until.absolute &&
      range.from.seconds >= range.until.seconds) {
    return Refused("FROM is not before UNTIL, so no record would be counted");
  }
  return Status::Ok();
}

RecordTime CivilTimeOf(int64_t seconds) {
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  int64_t rest = seconds - days * 86400;
  // H. Hinnant's civil_from_days.
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t dayOfEra = z - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return RecordTime{static_cast<int32_t>(year),
                    static_cast<int32_t>(month),
                    static_cast<int32_t>(day),
                    static_cast<int32_t>(rest / 3600),
                    static_cast<int32_t>(rest / 60 % 60),
                    static_cast<int32_t>(rest % 60),
                    0};
}

}  // namespace logvane
