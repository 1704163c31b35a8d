// The weekday of a date key and the average day of each weekday, derived
// from the date table once it is complete.
#ifndef LOGVANE_TALLY_WEEKDAYS_H_
#define LOGVANE_TALLY_WEEKDAYS_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "tally/tally_tables.h"

namespace logvane {

// The weekday (0 Sunday to 6 Saturday) of day `day` of `month` (1 to 12) in
// `year` in the proleptic Gregorian calendar; a day beyond the month's end
// counts on into the following months. Every year from 1 to 9999 has one.
int WeekdayOf(int64_t year, int month, int64_t day);

// The weekday of a dd/Mon/yyyy date key, or none when its day, month or year
// reads as 0.
std::optional<int> WeekdayOfDateKey(std::string_view key);

// Refills `week` from the dates in use: each weekday's hits and bytes
// summed over its days, then divided by its day count, and the largest sum
// before the division.
void AverageWeekdays(const DateTable& dates, WeekdayTable& week);

}  // namespace logvane

#endif  // LOGVANE_TALLY_WEEKDAYS_H_
