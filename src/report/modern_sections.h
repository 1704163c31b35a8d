// The sections of the modern report: the same tables, rows, limits and
// numbers as the classic sections, as cards with CSS bars. Like those they
// only read what the run derived before the report.
#ifndef LOGVANE_REPORT_MODERN_SECTIONS_H_
#define LOGVANE_REPORT_MODERN_SECTIONS_H_

#include "report/report_input.h"
#include "report/report_writer.h"

namespace logvane {

void WriteModernTopUsers(const ReportInput& state, ReportWriter& out);
void WriteModernActivityByDate(const ReportInput& state, ReportWriter& out);
void WriteModernDayOfWeek(const ReportInput& state, ReportWriter& out);
// The hourly table, after a chart of the 24 hours.
void WriteModernHourlyLoad(const ReportInput& state, ReportWriter& out);
void WriteModernTopPages(const ReportInput& state, ReportWriter& out);
void WriteModernTopDirectories(const ReportInput& state, ReportWriter& out);
void WriteModernTopNations(const ReportInput& state, ReportWriter& out);
void WriteModernResponseCodes(const ReportInput& state, ReportWriter& out);
void WriteModernExtra1(const ReportInput& state, ReportWriter& out);
void WriteModernExtra2(const ReportInput& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_SECTIONS_H_
