// The server response code section: the codes met with their share of all
// answers, then the documents most often answered with 404.
#ifndef LOGVANE_REPORT_RESPONSE_CODES_H_
#define LOGVANE_REPORT_RESPONSE_CODES_H_

#include "report/report_input.h"
#include "report/section_rows.h"

namespace logvane {

// Two tables: the codes, without a graph or totals, and the documents not
// found, without totals.
SectionRows ResponseCodeRows(const ReportInput& state);

}  // namespace logvane

#endif  // LOGVANE_REPORT_RESPONSE_CODES_H_
