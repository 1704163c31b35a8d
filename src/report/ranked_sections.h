// The ranked key sections: Top Pages, Top Directories, Extra 1 and Extra 2,
// each key with its share of all the table's hits and a bar.
#ifndef LOGVANE_REPORT_RANKED_SECTIONS_H_
#define LOGVANE_REPORT_RANKED_SECTIONS_H_

#include "report/report_input.h"
#include "report/section_rows.h"

namespace logvane {

SectionRows PageRows(const ReportInput& state);
SectionRows DirectoryRows(const ReportInput& state);
SectionRows Extra1Rows(const ReportInput& state);
SectionRows Extra2Rows(const ReportInput& state);

}  // namespace logvane

#endif  // LOGVANE_REPORT_RANKED_SECTIONS_H_
