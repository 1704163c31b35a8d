// WriteReport: the whole HTML document, from its head to its footer.
#ifndef LOGVANE_REPORT_WRITE_REPORT_H_
#define LOGVANE_REPORT_WRITE_REPORT_H_

#include <string_view>

#include "report/report_input.h"
#include "platform/env.h"
#include "report/report_writer.h"

namespace logvane {

// The maker's site, linked from the footer.
inline constexpr std::string_view kMakerSiteAddress = "https://www.quorvel.com/logvane/";

// Writes the head, the summary, the navigation line, every section that is
// on, the parameters block, the capacity note and the footer. Fills the
// weekday and nation tallies on the way.
void WriteReport(const ReportInput& state, ReportWriter& out, Env& env);

}  // namespace logvane

#endif  // LOGVANE_REPORT_WRITE_REPORT_H_
