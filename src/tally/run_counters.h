// The counts of a run that are not tallies of keys: kept by the reading
// phase, read by the report.
#ifndef LOGVANE_TALLY_RUN_COUNTERS_H_
#define LOGVANE_TALLY_RUN_COUNTERS_H_

#include <cstdint>
#include <string>

#include "common/ascii_text.h"
#include "tally/tally_tables.h"

namespace logvane {

struct RunCounters {
  int64_t processedCount = 0;  // "Total Records(Hits) Processed"
  int64_t pagesRequested = 0;  // records whose user differs from the previous
  FixedText<kKeyWidth> previousUser{};  // user of the last record that had one
  bool hasExtra1 = false;      // some record reached the extra(1) tally
  bool hasExtra2 = false;
  bool readError = false;      // reading ended on an error, not at the end
  // Lines that did not fit a configured log format (counted as processed),
  // and the first of them as read, for the operator.
  int64_t unmatchedLines = 0;
  std::string firstUnmatched;
};

}  // namespace logvane

#endif  // LOGVANE_TALLY_RUN_COUNTERS_H_
