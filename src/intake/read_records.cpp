#include "intake/read_records.h"

#include <memory>
#include <string_view>
#include <utility>

#include "intake/block_pipeline.h"
#include "intake/line_router.h"

namespace logvane {

void ReadRecords(const RunSettings& settings, Tallies& tallies, RunCounters& counters,
                 LogLineReader& reader, Console& console, Env& env, const ReadingPlan& plan) {
  ReadRecords(settings, LogFormat(), tallies, counters, reader, console, env, plan);
}

void WriteReadingStart(Console& console, Env& env) {
  console.Write(" - reading records...\n\n");
  console.Write("started: ");
  console.Write(env.LocalTimeText());
  console.Write("\n");
}

void RouteLog(const RunSettings& settings, const LogFormat& logFormat, Tallies& tallies,
              RunCounters& counters, LogLineReader& reader, Console& console, Env& env,
              const ReadingPlan& plan) {
  // Diagnostics may come once per line: hand them on in large pieces, in
  // order, rather than one write per line.
  bool lineFlush = console.lineFlush();
  console.SetLineFlush(false);
  std::unique_ptr<AgentCounts> agents;
  if (plan.agents.valid()) {
    agents =
        std::make_unique<AgentCounts>(kAgentCountsEntries, kAgentCountsText, !settings.excludeBots);
  }
  LineRouter router(tallies, counters, console, agents.get());
  const LineRules rules(settings, plan.agents, logFormat.timeTaken.any);
  ProgressTick progress = plan.progress;
  ReadStatus status = RouteInBlocks(reader, rules, logFormat, router, env, plan.threads - 1,
                                    plan.blockLines, &progress);
  if (agents) {
    agents->FoldInto(tallies.agents);
    ReportFullAgentTables(tallies.agents, console);
  }
  if (rules.timesOn) SumResponseTimes(tallies.times, tallies.hours.used);

  if (reader.width() == kLinePieceWidth) {
    counters.longLines = reader.longLines();
    counters.firstLongLine = reader.firstLongLine();
  }
  counters.readError = status == ReadStatus::kReadError;
  if (counters.readError) counters.readErrno = reader.error();
  console.SetLineFlush(lineFlush);
}

void WriteReadingEnd(const RunCounters& counters, Console& console) {
  bool lineFlush = console.lineFlush();
  console.SetLineFlush(false);
  console.Line(counters.readError ? "Error reading file..." : "End of file...");
  console.Write("completed reading... processed: ");
  console.WriteNumber(counters.processedCount);
  console.Write(" records.\n");
  console.SetLineFlush(lineFlush);
  console.Flush();
}

void ReadRecords(const RunSettings& settings, const LogFormat& logFormat, Tallies& tallies,
                 RunCounters& counters, LogLineReader& reader, Console& console, Env& env,
                 const ReadingPlan& plan) {
  WriteReadingStart(console, env);
  ClearTallies(tallies);
  SetCountingModes(tallies, settings.summaryTables, ShowsDistinct(settings));
  RouteLog(settings, logFormat, tallies, counters, reader, console, env, plan);
  WriteReadingEnd(counters, console);
}

}  // namespace logvane
