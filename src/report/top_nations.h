// The Top Nations section: users classified by the top-level domain of
// their host names.
#ifndef LOGVANE_REPORT_TOP_NATIONS_H_
#define LOGVANE_REPORT_TOP_NATIONS_H_

#include "report/report_input.h"
#include "report/report_writer.h"

namespace logvane {

void WriteTopNations(const ReportInput& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TOP_NATIONS_H_
