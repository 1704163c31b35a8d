// The ranked key sections: Top Pages, Top Directories, Extra 1 and Extra 2,
// each key with its share of all the table's hits and a bar.
#ifndef LOGVANE_REPORT_RANKED_SECTIONS_H_
#define LOGVANE_REPORT_RANKED_SECTIONS_H_

#include "common/run_state.h"
#include "report/report_writer.h"

namespace logvane {

void WriteTopPages(RunState& state, ReportWriter& out);
void WriteTopDirectories(RunState& state, ReportWriter& out);
void WriteExtra1(RunState& state, ReportWriter& out);
void WriteExtra2(RunState& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_RANKED_SECTIONS_H_
