// The time sections: activity by date, the average day of each weekday, and
// the hourly load.
#ifndef LOGVANE_REPORT_TIME_SECTIONS_H_
#define LOGVANE_REPORT_TIME_SECTIONS_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/run_state.h"
#include "report/report_writer.h"

namespace logvane {

void WriteActivityByDate(RunState& state, ReportWriter& out);
// Fills the WeekdayTable from the DateTable and leaves the averages in it.
void WriteDayOfWeek(RunState& state, ReportWriter& out);
void WriteHourlyLoad(RunState& state, ReportWriter& out);

// The hits, days and bytes of the dates that fell on each weekday, summed
// (not yet averaged); dates whose key names no day are left out.
void SumWeekdays(const DateTable& dates, WeekdayTable& week);

// The weekday (0 Sunday to 6 Saturday) of day `day` of `month` (1 to 12) in
// `year` in the proleptic Gregorian calendar; a day beyond the month's end
// counts on into the following months. Every year from 1 to 9999 has one.
int WeekdayOf(int64_t year, int month, int64_t day);

// The weekday of a dd/Mon/yyyy date key, or none when its day, month or year
// reads as 0.
std::optional<int> WeekdayOfDateKey(std::string_view key);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TIME_SECTIONS_H_
