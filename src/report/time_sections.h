// The time sections: activity by date, the average day of each weekday, and
// the hourly load.
#ifndef LOGVANE_REPORT_TIME_SECTIONS_H_
#define LOGVANE_REPORT_TIME_SECTIONS_H_

#include "report/report_input.h"
#include "report/report_writer.h"

namespace logvane {

void WriteActivityByDate(const ReportInput& state, ReportWriter& out);
// Reads the weekday averages that AverageWeekdays derived.
void WriteDayOfWeek(const ReportInput& state, ReportWriter& out);
void WriteHourlyLoad(const ReportInput& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TIME_SECTIONS_H_
