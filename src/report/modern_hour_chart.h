// The modern report's chart of the 24 hours, above the Hourly Activity
// Load table.
#ifndef LOGVANE_REPORT_MODERN_HOUR_CHART_H_
#define LOGVANE_REPORT_MODERN_HOUR_CHART_H_

#include "report/report_input.h"
#include "report/report_writer.h"
#include "report/section_rows.h"

namespace logvane {

// One column per hour of the day, its bar as high as the hour's bar in the
// table below is wide (the rows' scale); hours without hits stand empty.
void WriteHourChart(const ReportInput& state, const SectionRows& hours, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_HOUR_CHART_H_
