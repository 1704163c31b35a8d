// The Top Nations section: users classified by the top-level domain of
// their host names.
#ifndef LOGVANE_REPORT_TOP_NATIONS_H_
#define LOGVANE_REPORT_TOP_NATIONS_H_

#include "common/run_state.h"
#include "report/report_writer.h"

namespace logvane {

void WriteTopNations(RunState& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TOP_NATIONS_H_
