// What the report reads: the run's settings, labels, counters and tallies,
// sorted, translated and with their derived totals filled. The report
// changes none of it.
#ifndef LOGVANE_REPORT_REPORT_INPUT_H_
#define LOGVANE_REPORT_REPORT_INPUT_H_

#include "config/report_labels.h"
#include "config/run_settings.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

struct ReportInput {
  RunSettings settings;
  ReportLabels labels;
  RunCounters counters;
  Tallies tallies;
};

}  // namespace logvane

#endif  // LOGVANE_REPORT_REPORT_INPUT_H_
