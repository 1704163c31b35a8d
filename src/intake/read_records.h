// The reading phase: every log line parsed, filtered and routed into the
// tallies in a fixed order, with its console lines.
#ifndef LOGVANE_INTAKE_READ_RECORDS_H_
#define LOGVANE_INTAKE_READ_RECORDS_H_

#include "config/run_settings.h"
#include "intake/log_format.h"
#include "intake/log_reader.h"
#include "platform/console.h"
#include "platform/env.h"
#include "platform/progress_line.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

// The width a line of `format` is read up to (LogLineReader).
inline size_t PieceWidthFor(const LogFormat& format) {
  return format.kind == FormatKind::kMarkers ? kLinePieceWidth : kFormatPieceWidth;
}

// How the phase spreads its work. One thread reads, prepares and routes
// each line in turn; more run the block pipeline (intake/block_pipeline.h)
// with threads - 1 workers, whose result is the same.
struct ReadingPlan {
  int32_t threads = 1;
  size_t blockLines = 0;  // lines per block, 0 for the default; tests make
                          // it small so that short logs cross many borders
  ProgressTick progress;  // told of every line (a block at a time when threaded)
};

// Writes the start lines, empties the tallies, reads the log to its end (or
// a read error) and writes the end lines.
void ReadRecords(const RunSettings& settings, Tallies& tallies, RunCounters& counters,
                 LogLineReader& reader, Console& console, Env& env, const ReadingPlan& plan = {});

// The same for a log in `logFormat` (kMarkers reads as above), by the same
// plan.
void ReadRecords(const RunSettings& settings, const LogFormat& logFormat, Tallies& tallies,
                 RunCounters& counters, LogLineReader& reader, Console& console, Env& env,
                 const ReadingPlan& plan = {});

// The phase in its parts, for a run that reads its logs one at a time into
// a tally of their own (state files): the start lines; one log routed into
// `tallies` as they stand (not emptied first), with its long lines and how
// reading ended in `counters`; and the end lines for `counters`.
void WriteReadingStart(Console& console, Env& env);
void RouteLog(const RunSettings& settings, const LogFormat& logFormat, Tallies& tallies,
              RunCounters& counters, LogLineReader& reader, Console& console, Env& env,
              const ReadingPlan& plan);
void WriteReadingEnd(const RunCounters& counters, Console& console);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_READ_RECORDS_H_
