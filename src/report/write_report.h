// WriteReport: the whole HTML document, from its head to its footer.
#ifndef LOGVANE_REPORT_WRITE_REPORT_H_
#define LOGVANE_REPORT_WRITE_REPORT_H_

#include "common/run_state.h"
#include "platform/platform.h"
#include "report/report_writer.h"

namespace logvane {

void WriteReport(RunState& state, ReportWriter& out, const Platform& platform);

}  // namespace logvane

#endif  // LOGVANE_REPORT_WRITE_REPORT_H_
