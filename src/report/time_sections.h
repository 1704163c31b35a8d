// The time sections: activity by date, the average day of each weekday, and
// the hourly load.
#ifndef LOGVANE_REPORT_TIME_SECTIONS_H_
#define LOGVANE_REPORT_TIME_SECTIONS_H_

#include "report/report_input.h"
#include "report/section_rows.h"

namespace logvane {

SectionRows DateRows(const ReportInput& state);
// From the weekday averages that AverageWeekdays derived.
SectionRows WeekdayRows(const ReportInput& state);
SectionRows HourRows(const ReportInput& state);

// The K bytes of all days with hits, summed from each day's exact value.
double LogKiloBytes(const DateTable& dates);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TIME_SECTIONS_H_
