// WriteModernReport: the report as one self-contained page (STYLE=MODERN):
// the same sections, order, labels, rows and numbers as the classic report,
// laid out as cards for phones, dark mode and print, with nothing fetched
// from anywhere and no script.
#ifndef LOGVANE_REPORT_MODERN_REPORT_H_
#define LOGVANE_REPORT_MODERN_REPORT_H_

#include "report/report_input.h"
#include "platform/env.h"
#include "report/report_writer.h"

namespace logvane {

// The head and stylesheet, the header with the summary figures, the
// navigation, a card for every section that is on, the parameters, the
// capacity note and the footer, from tallies whose weekday averages and
// nations are derived.
void WriteModernReport(const ReportInput& state, ReportWriter& out, Env& env);

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_REPORT_H_
