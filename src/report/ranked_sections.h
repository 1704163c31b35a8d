// The ranked key sections: Top Pages, Top Directories, Extra 1 and Extra 2,
// each key with its share of all the table's hits and a bar.
#ifndef LOGVANE_REPORT_RANKED_SECTIONS_H_
#define LOGVANE_REPORT_RANKED_SECTIONS_H_

#include "report/report_input.h"
#include "report/report_writer.h"

namespace logvane {

void WriteTopPages(const ReportInput& state, ReportWriter& out);
void WriteTopDirectories(const ReportInput& state, ReportWriter& out);
void WriteExtra1(const ReportInput& state, ReportWriter& out);
void WriteExtra2(const ReportInput& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_RANKED_SECTIONS_H_
