#include "intake/log_time.h"

#include <cstdint>

namespace logvane {

namespace {

constexpr char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";

// The number of `count` digits at `p`, or -1.
int Digits(std::string_view text, size_t p, size_t count) {
  if (p + count > text.size()) return -1;
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = text[p + i];
    if (!IsDigit(c)) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

void Put2(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
}

void Assemble(int year, int month, int day, int hour, DayAndHour* out) {
  char* d = out->dateText.data;
  Put2(d, day);
  d[2] = '/';
  d[3] = kMonths[(month - 1) * 3];
  d[4] = kMonths[(month - 1) * 3 + 1];
  d[5] = kMonths[(month - 1) * 3 + 2];
  d[6] = '/';
  Put2(d + 7, year / 100);
  Put2(d + 9, year % 100);
  out->dateText.size = 11;
  Put2(out->hour, hour);
}

// Days since 1970-01-01 to a civil date (H. Hinnant's algorithm).
void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(y + (*month <= 2));
}

// A zone at `p`: "Z", or a sign, two hour digits and optionally ":" and
// two minute digits (or two minute digits right after). Nothing there is
// an offset of 0.
bool ZoneAt(std::string_view text, size_t p, int32_t* minutes) {
  *minutes = 0;
  if (p >= text.size()) return true;
  char sign = text[p];
  if (sign == 'Z' || sign == 'z') return true;
  if (sign != '+' && sign != '-') return false;
  int hours = Digits(text, p + 1, 2);
  if (hours < 0) return false;
  size_t m = p + 3;
  if (m < text.size() && text[m] == ':') ++m;
  int mins = m < text.size() ? Digits(text, m, 2) : 0;
  if (hours > 23 || mins < 0 || mins > 59) return false;
  *minutes = (sign == '-' ? -1 : 1) * (hours * 60 + mins);
  return true;
}

bool ValidClock(const RecordTime& t) {
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 &&
         t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 60;
}

}  // namespace

bool ClockFromLocal(std::string_view text, RecordTime* out) {
  size_t day = text.size() > 1 && text[1] == '/' ? 1 : 2;
  size_t m = day + 1;
  size_t colon = m + 8;
  if (text.size() < colon + 9 || text[day] != '/' || text[m + 3] != '/' || text[colon] != ':' ||
      text[colon + 3] != ':' || text[colon + 6] != ':') {
    return false;
  }
  RecordTime t{};
  t.day = Digits(text, 0, day);
  t.month = MonthNumber(text.substr(m, 3));
  t.year = Digits(text, m + 4, 4);
  t.hour = Digits(text, colon + 1, 2);
  t.minute = Digits(text, colon + 4, 2);
  t.second = Digits(text, colon + 7, 2);
  size_t zone = colon + 9;
  while (zone < text.size() && text[zone] == ' ') ++zone;
  if (zone < text.size() && text[zone] == ']') zone = text.size();
  if (t.year < 0 || !ValidClock(t) || !ZoneAt(text, zone, &t.offsetMinutes)) return false;
  *out = t;
  return true;
}

bool ClockFromIso8601(std::string_view text, RecordTime* out) {
  if (text.size() < 16 || text[4] != '-' || text[7] != '-' || text[13] != ':' ||
      (text[10] != 'T' && text[10] != 't' && text[10] != ' ')) {
    return false;
  }
  RecordTime t{};
  t.year = Digits(text, 0, 4);
  t.month = Digits(text, 5, 2);
  t.day = Digits(text, 8, 2);
  t.hour = Digits(text, 11, 2);
  t.minute = Digits(text, 14, 2);
  size_t p = 16;
  if (p < text.size() && text[p] == ':') {
    t.second = Digits(text, p + 1, 2);
    p += 3;
    if (p < text.size() && (text[p] == '.' || text[p] == ',')) {
      for (++p; p < text.size() && IsDigit(text[p]); ++p) {
      }
    }
  }
  if (t.year < 0 || !ValidClock(t) || !ZoneAt(text, p, &t.offsetMinutes)) return false;
  *out = t;
  return true;
}

bool ClockFromEpoch(std::string_view text, int64_t divisor, RecordTime* out) {
  DayAndHour checked;
  if (!TimeFromEpoch(text, divisor, &checked)) return false;
  int64_t value = 0;
  for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) value = value * 10 + (text[i] - '0');
  *out = CivilTimeOf(value / divisor);
  return true;
}

bool ClockFromAny(std::string_view text, RecordTime* out) {
  return ClockFromLocal(text, out) || ClockFromIso8601(text, out) || ClockFromEpoch(text, 1, out);
}

bool TimeFromLocal(std::string_view text, DayAndHour* out) {
  size_t day = 2;
  if (text.size() > 1 && text[1] == '/') day = 1;
  if (Digits(text, 0, day) < 0 || text.size() < day + 1 || text[day] != '/') return false;
  size_t m = day + 1;
  if (text.size() < m + 4 || text[m + 3] != '/') return false;
  if (MonthNumber(text.substr(m, 3)) == 0 || Digits(text, m + 4, 4) < 0) return false;
  size_t colon = m + 8;
  if (text.size() < colon + 3 || text[colon] != ':' || Digits(text, colon + 1, 2) < 0) {
    return false;
  }
  char* d = out->dateText.data;
  if (day == 1) {
    d[0] = '0';
    std::memcpy(d + 1, text.data(), 10);
  } else {
    std::memcpy(d, text.data(), 11);
  }
  out->dateText.size = 11;
  out->hour[0] = text[colon + 1];
  out->hour[1] = text[colon + 2];
  return true;
}

bool TimeFromIso8601(std::string_view text, DayAndHour* out) {
  int year = Digits(text, 0, 4);
  int month = Digits(text, 5, 2);
  int day = Digits(text, 8, 2);
  int hour = Digits(text, 11, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 24 ||
      text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != 't' && text[10] != ' ')) {
    return false;
  }
  Assemble(year, month, day, hour, out);
  return true;
}

bool TimeFromEpoch(std::string_view text, int64_t divisor, DayAndHour* out) {
  size_t i = 0;
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (i >= 18) return false;  // beyond any real clock
    value = value * 10 + (text[i] - '0');
  }
  if (i == 0) return false;
  if (i < text.size()) {
    // Only seconds may carry a fraction.
    if (divisor != 1 || text[i] != '.') return false;
    for (++i; i < text.size(); ++i) {
      if (!IsDigit(text[i])) return false;
    }
  }
  int64_t seconds = value / divisor;
  int year, month, day;
  CivilFromDays(seconds / 86400, &year, &month, &day);
  if (year > 9999) return false;
  Assemble(year, month, day, static_cast<int>(seconds % 86400 / 3600), out);
  return true;
}

bool TimeFromAny(std::string_view text, DayAndHour* out) {
  return TimeFromLocal(text, out) || TimeFromIso8601(text, out) || TimeFromEpoch(text, 1, out);
}

}  // namespace logvane
