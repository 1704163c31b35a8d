// A section of the modern report: its rows (the classic report's, from the
// same builders) as a card with CSS bars.
#ifndef LOGVANE_REPORT_MODERN_SECTIONS_H_
#define LOGVANE_REPORT_MODERN_SECTIONS_H_

#include "platform/env.h"
#include "report/report_input.h"
#include "report/report_outline.h"
#include "report/report_writer.h"

namespace logvane {

// The card: its heading, the section's chart where it has one, each table
// (a later one under an <h3> heading) with its totals, and the back-link.
void WriteModernSection(const ReportInput& state, const ReportSection& section, ReportWriter& out);

// The head with the stylesheet and the header with the summary figures
// (modern_report.cpp).
void WriteModernHead(const ReportInput& state, ReportWriter& out, Env& env);

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_SECTIONS_H_
