#include "intake/read_records.h"

#include <string_view>
#include <utility>

#include "intake/block_pipeline.h"
#include "intake/format_parser.h"
#include "intake/line_router.h"

namespace logvane {

namespace {

// Each line prepared and routed in turn. The reader keeps a piece valid
// through the following call, so one line can be prepared while the one
// before it waits to be routed.
ReadStatus RouteInTurn(LogLineReader& reader, const LineRules& rules, LineRouter& router) {
  PreparedLine lines[2];
  PreparedLine* current = &lines[0];
  PreparedLine* next = &lines[1];
  std::string_view piece;
  ReadStatus status = reader.ReadLogLine(&piece);
  if (status == ReadStatus::kLine) {
    PrepareLine(rules, piece, *current);
    router.PrefetchBuckets(*current);
  }
  while (status == ReadStatus::kLine) {
    router.PrefetchEntries(*current);
    status = reader.ReadLogLine(&piece);
    if (status == ReadStatus::kLine) {
      PrepareLine(rules, piece, *next);
      router.PrefetchBuckets(*next);
    }
    router.Route(*current);
    std::swap(current, next);
  }
  return status;
}

// The same for a log in a configured format, each line parsed by `parser`,
// whose decoded texts stay valid through the next line's parsing.
ReadStatus RouteFormattedInTurn(LogLineReader& reader, const LineRules& rules,
                                FormatParser& parser, LineRouter& router) {
  PreparedLine lines[2];
  PreparedLine* current = &lines[0];
  PreparedLine* next = &lines[1];
  auto prepare = [&](std::string_view piece, PreparedLine& p) {
    parser.Parse(piece, rules.format, p.record);
    PrepareParsedLine(rules, p);
    router.PrefetchBuckets(p);
  };
  std::string_view piece;
  ReadStatus status = reader.ReadLogLine(&piece);
  if (status == ReadStatus::kLine) prepare(piece, *current);
  while (status == ReadStatus::kLine) {
    router.PrefetchEntries(*current);
    status = reader.ReadLogLine(&piece);
    if (status == ReadStatus::kLine) prepare(piece, *next);
    router.Route(*current);
    std::swap(current, next);
  }
  return status;
}

}  // namespace

void ReadRecords(const RunSettings& settings, Tallies& tallies, RunCounters& counters,
                 LogLineReader& reader, Console& console, const Platform& platform,
                 const ReadingPlan& plan) {
  ReadRecords(settings, LogFormat(), tallies, counters, reader, console, platform, plan);
}

void ReadRecords(const RunSettings& settings, const LogFormat& logFormat, Tallies& tallies,
                 RunCounters& counters, LogLineReader& reader, Console& console,
                 const Platform& platform, const ReadingPlan& plan) {
  console.Write(" - reading records...\n\n");
  console.Write("started: ");
  console.Write(platform.localTimeText());
  console.Write("\n");
  ClearTallies(tallies);

  // Diagnostics may come once per line: hand them on in large pieces, in
  // order, rather than one write per line.
  bool lineFlush = console.lineFlush();
  console.SetLineFlush(false);
  LineRouter router(tallies, counters, console);
  const LineRules rules(settings);
  ReadStatus status;
  if (plan.threads > 1) {
    status = RouteInBlocks(reader, rules, logFormat, router, plan.threads - 1, plan.blockLines);
  } else if (logFormat.kind != FormatKind::kMarkers) {
    FormatParser parser(logFormat);
    status = RouteFormattedInTurn(reader, rules, parser, router);
  } else {
    status = RouteInTurn(reader, rules, router);
  }

  counters.readError = status == ReadStatus::kReadError;
  if (counters.readError) counters.readErrno = reader.error();
  console.Line(counters.readError ? "Error reading file..." : "End of file...");
  console.Write("completed reading... processed: ");
  console.WriteNumber(counters.processedCount);
  console.Write(" records.\n");
  console.SetLineFlush(lineFlush);
  console.Flush();
}

}  // namespace logvane
