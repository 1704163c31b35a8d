// A section's rows in the classic layout: the anchor, the heading, the
// tables with their bar images and totals lines, the section end and the
// back-link.
#ifndef LOGVANE_REPORT_CLASSIC_SECTION_H_
#define LOGVANE_REPORT_CLASSIC_SECTION_H_

#include "config/run_settings.h"
#include "platform/env.h"
#include "report/report_input.h"
#include "report/report_outline.h"
#include "report/report_writer.h"
#include "report/section_rows.h"

namespace logvane {

// A section of one table is headed "<hr><h3>"; one of several tables has a
// bare "<hr>" and an "<h4>" heading over each table.
void WriteClassicTables(const SectionRows& section, const RunSettings& settings, ReportWriter& out);

// The section behind its anchor, which is never closed, and the back-link
// where it has one.
void WriteClassicSection(const ReportInput& state, const ReportSection& section, ReportWriter& out);

// The head, the title and the summary above the navigation line
// (write_report.cpp).
void WriteClassicHead(const ReportInput& state, ReportWriter& out, Env& env);

}  // namespace logvane

#endif  // LOGVANE_REPORT_CLASSIC_SECTION_H_
