#include "tally/weekdays.h"

#include <algorithm>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// The decimal digits at the start of `text` (no sign, no blanks), 0 when
// there are none; saturates instead of overflowing.
int64_t LeadingDigits(std::string_view text) {
  constexpr int64_t kLimit = INT64_MAX / 10 - 10;
  int64_t value = 0;
  for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Days from 1970-01-01 to the first of `month` in `year`, for years near
// 2000 (the caller keeps them there).
int64_t DaysToMonthStart(int64_t year, int month) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

int WeekdayOf(int64_t year, int month, int64_t day) {
  // 400 Gregorian years are exactly 20871 weeks, so any year can stand in
  // for one near 2000 with the same weekdays.
  const int64_t nearYear = 2000 + ((year % 400) + 400) % 400;
  const int64_t days = DaysToMonthStart(nearYear, month);
  const int64_t firstWeekday = ((days + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  const int64_t offset = ((day - 1) % 7 + 7) % 7;
  return static_cast<int>((firstWeekday + offset) % 7);
}

std::optional<int> WeekdayOfDateKey(std::string_view key) {
  const int64_t day = LeadingDigits(key);
  const int64_t year = key.size() > 7 ? LeadingDigits(key.substr(7)) : 0;
  const int month = key.size() >= 6 ? MonthNumber(key.substr(3, 3)) : 0;
  if (day == 0 || month == 0 || year == 0) return std::nullopt;
  return WeekdayOf(year, month, day);
}

void AverageWeekdays(const DateTable& dates, WeekdayTable& week) {
  week = WeekdayTable{};
  for (const DateEntry& date : dates.slots) {
    if (date.hits == 0) continue;
    std::optional<int> weekday = WeekdayOfDateKey(date.key.view());
    if (!weekday) continue;
    WeekdayEntry& day = week.days[*weekday];
    day.hits += date.hits;
    day.dayCount += 1;
    day.byteSum += date.byteSum;
  }
  for (int d = 0; d < 7; ++d) {
    WeekdayEntry& day = week.days[d];
    week.largestSum = std::max(week.largestSum, day.hits);
    if (day.hits <= 0) continue;
    day.hits /= day.dayCount;
    day.byteSum /= day.dayCount;
  }
}

}  // namespace logvane
