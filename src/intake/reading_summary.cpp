#include "intake/reading_summary.h"

#include <cstdio>
#include <string>

#include "intake/log_parser.h"

namespace logvane {

namespace {

// What each kind of rejected line lacked, and how the console showed it.
std::string_view FaultText(LineFault fault) {
  switch (fault) {
    case LineFault::kNone: return {};
    case LineFault::kNoMatch: return "that do not fit the LOGFORMAT layout";
    case LineFault::kTooLong:
      return "longer than 65536 bytes, which a LOGFORMAT layout does not read";
    case LineFault::kNoBracket:
      return "without \"[\" in their first 250 characters (console: \"~\")";
    case LineFault::kBadFormat:
      return "whose \"[\" is not followed by a day and \"/\" "
             "(console: \"*REJECTED LINE due to bad format*\")";
    case LineFault::kNoHour:
      return "without \":\" after the date (console: \"Hour Not Found in:\")";
    case LineFault::kNoPage: return "without a quoted request (console: \" NO PAGE/0:\")";
    case LineFault::kPageTooFar:
      return "whose request starts after the 250th character (console: \"Page not found in:\")";
    case LineFault::kBadPageA:
      return "without a blank after the request's quote (console: \" BAD PAGE/a:\")";
    case LineFault::kBadPageB:
      return "whose request has no closing quote (console: \" BAD PAGE/b:\")";
    case LineFault::kBadPageD:
      return "whose request has no closing quote or starts too far in (console: \" BAD PAGE/d:\")";
  }
  return {};
}

std::string Where(std::string_view logName, int64_t line) {
  return FileLine(logName, static_cast<size_t>(line));
}

template <typename Table>
void TableFull(const Table& table, std::string_view name, std::string_view logName,
               Diagnostics& diagnostics) {
  if (table.dropped == 0) return;
  diagnostics.Report(Severity::kWarning, Visible(logName),
                     "the " + std::string(name) + " table ran full at " +
                         std::to_string(Table::kCapacity) +
                         " keys: " + std::to_string(table.dropped) +
                         " records brought new keys that were dropped, and the report's "
                         "totals leave them out");
}

// A summary table that ran full: where it began to evict, and its bound.
template <typename Table>
void TableSummarized(const Table& table, std::string_view name, std::string_view logName,
                     Diagnostics& diagnostics) {
  const auto& summary = table.summary;
  if (!SummaryEvicted(summary)) return;
  const std::string bound = std::to_string(SummaryBound(summary));
  diagnostics.Report(
      Severity::kNote, Where(logName, summary.firstRecord),
      "the " + std::string(name) + " table ran full at " + std::to_string(Table::kCapacity) +
          " keys here and went on as a summary: " + std::to_string(summary.evictions) +
          " new keys took the slot of the fewest hits; its counts are at most " + bound +
          " too high, and every key with more than " + bound + " hits is in it");
}

// How many records were rejected, for what, and a sample when most were.
void RejectedNotes(const RejectedLines& rejected, std::string_view logName,
                   Diagnostics& diagnostics) {
  int64_t total = 0;
  // Lines that do not fit a LOGFORMAT layout have a note of their own.
  const size_t noMatch = static_cast<size_t>(LineFault::kNoMatch);
  for (size_t kind = 1; kind < kLineFaultKinds; ++kind) {
    if (kind != noMatch) total += rejected.count[kind];
  }
  if (total > 0) {
    diagnostics.Report(Severity::kWarning, Visible(logName),
                       std::to_string(total) + " of " + std::to_string(rejected.records) +
                           " records were rejected");
    for (size_t kind = 1; kind < kLineFaultKinds; ++kind) {
      if (rejected.count[kind] == 0 || kind == noMatch) continue;
      diagnostics.Report(Severity::kNote, Where(logName, rejected.firstLine[kind]),
                         std::to_string(rejected.count[kind]) + " " +
                             std::string(FaultText(static_cast<LineFault>(kind))) +
                             ", the first here");
    }
    if (total * 2 > rejected.records) {
      std::string_view sample = rejected.sample.view();
      if (sample.ends_with('\n')) sample.remove_suffix(1);
      if (sample.ends_with('\r')) sample.remove_suffix(1);
      diagnostics.Report(Severity::kWarning, Where(logName, rejected.sampleLine),
                         "more than half of the records were rejected: the log does not look "
                         "like common or combined log format; the first rejected line is " +
                             Quoted(sample, 160));
    }
  }
}

// Records that were read with something missing or out of bounds.
void OddRecordNotes(const RunCounters& counters, const Tallies& tallies, std::string_view logName,
                    Diagnostics& diagnostics) {
  if (counters.longLines > 0) {
    diagnostics.Report(Severity::kWarning, Where(logName, counters.firstLongLine),
                       std::to_string(counters.longLines) +
                           (counters.longLines == 1 ? " line was" : " lines were") +
                           " longer than 1997 bytes: only their first 1997 bytes were read");
  }
  if (counters.oddByteCounts > 0) {
    diagnostics.Report(Severity::kWarning, Where(logName, counters.firstOddByteCount),
                       std::to_string(counters.oddByteCounts) +
                           (counters.oddByteCounts == 1 ? " record has" : " records have") +
                           " a byte count that is negative or above 2^53, so the K bytes it "
                           "adds to are not exact; the first here");
  }
  const ResponseTimes& times = tallies.times;
  if (times.noValue > 0) {
    diagnostics.Report(Severity::kNote, Where(logName, times.firstNoValue),
                       std::to_string(times.noValue) +
                           (times.noValue == 1 ? " record has" : " records have") +
                           " no response time in the time-taken field (\"-\", text or a "
                           "negative number): counted without one; the first here");
  }
}

// Tables that ran full, then those that went on as summaries.
void TableNotes(const Tallies& tallies, std::string_view logName, Diagnostics& diagnostics) {
  TableFull(tallies.users, "user", logName, diagnostics);
  TableFull(tallies.dates, "date", logName, diagnostics);
  TableFull(tallies.hours, "hour", logName, diagnostics);
  TableFull(tallies.pages, "page", logName, diagnostics);
  TableFull(tallies.directories, "directory", logName, diagnostics);
  TableFull(tallies.notFound, "not-found page", logName, diagnostics);
  TableFull(tallies.extra1, "Extra 1", logName, diagnostics);
  TableFull(tallies.extra2, "Extra 2", logName, diagnostics);
  TableSummarized(tallies.users, "user", logName, diagnostics);
  TableSummarized(tallies.pages, "page", logName, diagnostics);
  TableSummarized(tallies.directories, "directory", logName, diagnostics);
  TableSummarized(tallies.notFound, "not-found page", logName, diagnostics);
  TableSummarized(tallies.extra1, "Extra 1", logName, diagnostics);
  TableSummarized(tallies.extra2, "Extra 2", logName, diagnostics);
}

}  // namespace

std::string ClockText(const RecordTime& t) {
  const int32_t offset = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
  char text[64];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d %c%02d:%02d", t.year, t.month,
                t.day, t.hour, t.minute, t.second, t.offsetMinutes < 0 ? '-' : '+', offset / 60,
                offset % 60);
  return text;
}

void SummarizeDateRange(const RunSettings& settings, const RunCounters& counters,
                        std::string_view logName, Diagnostics& diagnostics) {
  if (logName.empty() || logName == "-") logName = "(standard input)";
  std::string text;
  if (settings.dateRange.from.set) text.append("FROM=").append(settings.fromText).append(" ");
  if (settings.dateRange.until.set) text.append("UNTIL=").append(settings.untilText).append(" ");
  text.append("skipped ").append(std::to_string(counters.outOfRange));
  text.append(counters.outOfRange == 1 ? " record" : " records");
  text.append(" outside the range, before any other rule");
  if (counters.keptClocks > 0) {
    text += "; the records kept run from " + ClockText(counters.earliestKept) + " to " +
            ClockText(counters.latestKept);
  } else {
    text += "; no record with a time was kept";
  }
  diagnostics.Report(Severity::kNote, Visible(logName), text);
}

void SummarizeReading(const RunCounters& counters, const Tallies& tallies, std::string_view logName,
                      Diagnostics& diagnostics) {
  if (logName.empty() || logName == "-") logName = "(standard input)";
  RejectedNotes(counters.rejected, logName, diagnostics);
  OddRecordNotes(counters, tallies, logName, diagnostics);
  TableNotes(tallies, logName, diagnostics);
}

}  // namespace logvane
