// The Top Nations section: users classified by the top-level domain of
// their host names (or by their address).
#ifndef LOGVANE_REPORT_TOP_NATIONS_H_
#define LOGVANE_REPORT_TOP_NATIONS_H_

#include "report/report_input.h"
#include "report/section_rows.h"

namespace logvane {

SectionRows NationRows(const ReportInput& state);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TOP_NATIONS_H_
