// The operator's summary of a reading phase that met trouble: rejected
// lines by kind, a log that is not in the expected format, tables that ran
// full. A few lines on standard error, whatever the log held.
#ifndef LOGVANE_INTAKE_READING_SUMMARY_H_
#define LOGVANE_INTAKE_READING_SUMMARY_H_

#include <string_view>

#include "config/run_settings.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"
#include "platform/diagnostics.h"

namespace logvane {

// Writes nothing when every line was read and every key found room.
void SummarizeReading(const RunCounters& counters, const Tallies& tallies, std::string_view logName,
                      Diagnostics& diagnostics);

// Under FROM or UNTIL: how many records the range skipped, and the
// earliest and latest time of those kept. Always one note.
void SummarizeDateRange(const RunSettings& settings, const RunCounters& counters,
                        std::string_view logName, Diagnostics& diagnostics);

// A record's clock as the log wrote it, in ISO form: 2025-03-01 14:05:09 +01:00.
std::string ClockText(const RecordTime& clock);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_READING_SUMMARY_H_
