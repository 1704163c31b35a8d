// The modern report's chart of the response times by hour, above the
// Response Times tables: the median and the p95 of each hour of the day
// as two lines of an inline SVG (no script, no file of its own).
#ifndef LOGVANE_REPORT_MODERN_TIMES_CHART_H_
#define LOGVANE_REPORT_MODERN_TIMES_CHART_H_

#include "report/report_input.h"
#include "report/report_writer.h"
#include "report/section_rows.h"

namespace logvane {

void WriteTimesChart(const ReportInput& state, const SectionRows& rows, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_TIMES_CHART_H_
