#include "intake/read_records.h"

#include <string_view>
#include <utility>

#include "intake/block_pipeline.h"
#include "intake/format_parser.h"
#include "intake/line_router.h"

namespace logvane {

namespace {

// Each line prepared and routed in turn, a few lines behind the reading:
// the reader keeps its pieces valid for kPiecesKept calls, so the memory
// can be asked for a line's buckets two lines before it is routed, and for
// its entries one line before.
ReadStatus RouteInTurn(LogLineReader& reader, const LineRules& rules, LineRouter& router) {
  constexpr size_t kAhead = 3;  // lines prepared and not yet routed, at most
  static_assert(kAhead <= kPiecesKept, "a prepared line's piece stays valid");
  PreparedLine lines[kAhead + 1];
  size_t first = 0;  // the next line to route
  size_t held = 0;   // lines prepared and not yet routed
  ReadStatus status = ReadStatus::kLine;
  auto line = [&](size_t k) -> PreparedLine& { return lines[(first + k) % (kAhead + 1)]; };
  for (;;) {
    while (status == ReadStatus::kLine && held < kAhead) {
      std::string_view piece;
      status = reader.ReadLogLine(&piece);
      if (status != ReadStatus::kLine) break;
      PreparedLine& p = line(held);
      PrepareLine(rules, piece, p);
      router.PrefetchBuckets(p);
      ++held;
    }
    if (held == 0) return status;
    if (held > 1) router.PrefetchEntries(line(1));
    router.Route(line(0));
    first = (first + 1) % (kAhead + 1);
    --held;
  }
}

// The same for a log in a configured format, each line parsed by `parser`,
// whose decoded texts stay valid through the next line's parsing.
ReadStatus RouteFormattedInTurn(LogLineReader& reader, const LineRules& rules, FormatParser& parser,
                                LineRouter& router) {
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
                 LogLineReader& reader, Console& console, Env& env, const ReadingPlan& plan) {
  ReadRecords(settings, LogFormat(), tallies, counters, reader, console, env, plan);
}

void ReadRecords(const RunSettings& settings, const LogFormat& logFormat, Tallies& tallies,
                 RunCounters& counters, LogLineReader& reader, Console& console, Env& env,
                 const ReadingPlan& plan) {
  console.Write(" - reading records...\n\n");
  console.Write("started: ");
  console.Write(env.LocalTimeText());
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
