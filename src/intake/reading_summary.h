// The operator's summary of a reading phase that met trouble: rejected
// lines by kind, a log that is not in the expected format, tables that ran
// full. A few lines on standard error, whatever the log held.
#ifndef LOGVANE_INTAKE_READING_SUMMARY_H_
#define LOGVANE_INTAKE_READING_SUMMARY_H_

#include <string_view>

#include "tally/run_counters.h"
#include "tally/tally_tables.h"
#include "platform/diagnostics.h"

namespace logvane {

// Writes nothing when every line was read and every key found room.
void SummarizeReading(const RunCounters& counters, const Tallies& tallies, std::string_view logName,
                      Diagnostics& diagnostics);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_READING_SUMMARY_H_
