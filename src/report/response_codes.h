// The server response code section: the codes met with their share of all
// answers, then the documents most often answered with 404.
#ifndef LOGVANE_REPORT_RESPONSE_CODES_H_
#define LOGVANE_REPORT_RESPONSE_CODES_H_

#include "report/report_input.h"
#include "report/report_writer.h"

namespace logvane {

void WriteResponseCodes(const ReportInput& state, ReportWriter& out);

}  // namespace logvane

#endif  // LOGVANE_REPORT_RESPONSE_CODES_H_
