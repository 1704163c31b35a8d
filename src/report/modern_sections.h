// The sections of the modern report: the same tables, rows, limits and
// numbers as the classic sections, as cards with CSS bars. They only read
// the run state; the weekday sums and the nation tally are derived before
// the report is written.
#ifndef LOGVANE_REPORT_MODERN_SECTIONS_H_
#define LOGVANE_REPORT_MODERN_SECTIONS_H_

#include "common/run_state.h"
#include "report/report_writer.h"

namespace logvane {

void WriteModernTopUsers(const RunState& state, ReportWriter& out);
void WriteModernActivityByDate(const RunState& state, ReportWriter& out);
void WriteModernDayOfWeek(const RunState& state, ReportWriter& out);
// The hourly table, after a chart of the 24 hours.
void WriteModernHourlyLoad(const RunState& state, ReportWriter& out);
void WriteModernTopPages(const RunState& state, ReportWriter& out);
void WriteModernTopDirectories(const RunState& state, ReportWriter& out);
void WriteModernTopNations(const RunState& state, ReportWriter& out);
void WriteModernResponseCodes(const RunState& state, ReportWriter& out);
void WriteModernExtra1(const RunState& state, ReportWriter& out);
void WriteModernExtra2(const RunState& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_SECTIONS_H_
