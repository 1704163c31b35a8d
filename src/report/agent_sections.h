// The user-agent sections (AGENTS): Browsers and Operating Systems, ranked
// families with their hits, K bytes and share; and Crawlers and AI agents:
// the shares of people, crawlers and AI of all hits and bytes with an
// agent, every crawler and bot by name with its class and operator, and the
// pages AI crawlers fetch most.
#ifndef LOGVANE_REPORT_AGENT_SECTIONS_H_
#define LOGVANE_REPORT_AGENT_SECTIONS_H_

#include "report/report_input.h"
#include "report/report_writer.h"
#include "report/section_rows.h"

namespace logvane {

// Whether each section has something to show: the tables fill only under
// AGENTS, so without it none is ever written.
bool BrowsersOn(const ReportInput& state);
bool SystemsOn(const ReportInput& state);
bool CrawlersOn(const ReportInput& state);

SectionRows BrowserRows(const ReportInput& state);
SectionRows SystemRows(const ReportInput& state);
SectionRows CrawlerRows(const ReportInput& state);

// The modern style's stacked bar of the people, crawler and AI shares of
// hits, drawn above the crawler section's tables.
void WriteVisitorShares(const ReportInput& state, const SectionRows& rows, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_AGENT_SECTIONS_H_
