#include "state/state_merge.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tally/table_merge.h"

namespace logvane {

namespace {

// A piece's first lines follow the `lineOffset` lines of the run's; calls
// slotMoved(from's slot, into's slot) for each key that found a place.
template <typename Table, typename Fn = void (*)(size_t, int64_t)>
void AddTable(
    const Table& from, Table& into, TableDrops& drops, int64_t lineOffset = 0,
    Fn&& slotMoved = [](size_t, int64_t) {}) {
  using Key = decltype(from.slots[0].key);
  for (size_t i = 0; i < from.used; ++i) {
    const auto& e = from.slots[i];
    double byteSum = 0;
    if constexpr (requires { e.byteSum; }) byteSum = e.byteSum;
    int64_t slot = AddCounts(into, HashKey(e.key.view(), Key::kCapacity), e.hits, byteSum);
    if (slot == kTableFull) {
      ++drops.keys;
      drops.hits += e.hits;
      continue;
    }
    slotMoved(i, slot);
    auto& to = into.slots[slot];
    if constexpr (requires { e.isRobot; }) {
      if (e.isRobot != 0) to.isRobot = 1;
    }
    if constexpr (requires { e.firstLine; }) {
      const bool fresh = to.hits == e.hits;
      if (fresh || e.firstLine + lineOffset < to.firstLine) to.firstLine = e.firstLine + lineOffset;
      if constexpr (requires { e.visitorClass; }) {
        if (fresh) {
          to.visitorClass = e.visitorClass;
          to.operatorName = e.operatorName;
        }
      }
    }
  }
  drops.droppedBefore = from.dropped;
  drops.ranFullBefore = from.ranFull;
  into.dropped += from.dropped;
  into.ranFull = into.ranFull || from.ranFull;
}

// A table in summary mode merges by the rule for Space-Saving summaries
// (exact while the union fits); any other adds in first-seen order.
template <typename Table>
Status MergeRanked(const Table& from, Table& into, TableDrops& drops) {
  if (!into.summary.on) {
    AddTable(from, into, drops);
    return Status::Ok();
  }
  return MergeTable(into, from);
}

// Distinct counts merge by the union of their sets (register-wise maximum),
// each day's with the day it is in the run's date table (the dates merged
// first). A piece without them leaves the run's figures unknown: the report
// then shows none rather than a part.
void MergeDistinctTallies(const Tallies& from, Tallies& into) {
  if (!into.distinct) return;
  if (!from.distinct) {
    into.distinct.reset();
    return;
  }
  const DistinctTallies& f = *from.distinct;
  DistinctTallies& t = *into.distinct;
  MergeDistinct(t.clients, f.clients);
  for (size_t i = 0; i < from.dates.used; ++i) {
    int64_t slot = merge_detail::SlotOfKey(into.dates, from.dates.slots[i].key.view());
    if (slot < 0) continue;  // the day found the run's date table full
    MergeDistinct(t.dayClients[t.dayOf[slot]], f.dayClients[f.dayOf[i]]);
    MergeDistinct(t.dayVisitors[t.dayOf[slot]], f.dayVisitors[f.dayOf[i]]);
  }
}

// The first line of a kind stays the one of the first input that had one.
void AddFirst(int64_t fromCount, int64_t fromFirst, int64_t& intoCount, int64_t& intoFirst) {
  if (intoCount == 0 && fromCount > 0) intoFirst = fromFirst;
  intoCount += fromCount;
}

void MergeAgents(const AgentTallies& from, AgentTallies& into, int64_t lineOffset,
                 MergeDrops* drops) {
  AddTable(from.browsers, into.browsers, drops->agentTables[0], lineOffset);
  AddTable(from.systems, into.systems, drops->agentTables[1], lineOffset);
  AddTable(from.bots, into.bots, drops->agentTables[2], lineOffset);
  AddTable(from.aiPages, into.aiPages, drops->agentTables[3]);
  for (size_t c = 0; c < kVisitorClasses; ++c) {
    into.classHits[c] += from.classHits[c];
    into.classBytes[c] += from.classBytes[c];
  }
}

void MergeCounters(const RunCounters& from, RunCounters& into) {
  into.processedCount += from.processedCount;
  int64_t pages = from.pagesRequested;
  if (from.hasFirstUser) {
    // The piece counted its first user as a change from nobody; after the
    // run's last user it is a change only where the rule says so.
    std::string_view first = from.firstUser.view();
    const bool pieceCounted = !first.empty();
    const bool runCounts = into.previousUser.view().substr(0, first.size()) != first;
    pages += (runCounts ? 1 : 0) - (pieceCounted ? 1 : 0);
    into.previousUser = from.previousUser;
    if (!into.hasFirstUser) {
      into.hasFirstUser = true;
      into.firstUser = from.firstUser;
    }
  }
  into.pagesRequested += pages;
  into.hasExtra1 = into.hasExtra1 || from.hasExtra1;
  into.hasExtra2 = into.hasExtra2 || from.hasExtra2;

  RejectedLines& r = into.rejected;
  const RejectedLines& f = from.rejected;
  r.records += f.records;
  for (size_t k = 0; k < kLineFaultKinds; ++k)
    AddFirst(f.count[k], f.firstLine[k], r.count[k], r.firstLine[k]);
  if (r.sampleLine == 0 && f.sampleLine != 0) {
    r.sampleLine = f.sampleLine;
    r.sample = f.sample;
  }
  AddFirst(from.longLines, from.firstLongLine, into.longLines, into.firstLongLine);
  AddFirst(from.oddByteCounts, from.firstOddByteCount, into.oddByteCounts, into.firstOddByteCount);
  if (into.unmatchedLines == 0 && from.unmatchedLines > 0) {
    into.firstUnmatched = from.firstUnmatched;
  }
  into.unmatchedLines += from.unmatchedLines;
  if (from.firstTime != 0 && (into.firstTime == 0 || from.firstTime < into.firstTime)) {
    into.firstTime = from.firstTime;
  }
  into.lastTime = std::max(into.lastTime, from.lastTime);
}

// FROM/UNTIL's counts add up; the earliest and latest kept stay the first
// records of those instants, as in one run.
void MergeDateRange(const RunCounters& from, RunCounters& into) {
  into.outOfRange += from.outOfRange;
  if (from.keptClocks == 0) return;
  if (into.keptClocks == 0 || InstantOf(from.earliestKept) < InstantOf(into.earliestKept)) {
    into.earliestKept = from.earliestKept;
  }
  if (into.keptClocks == 0 || InstantOf(from.latestKept) > InstantOf(into.latestKept)) {
    into.latestKept = from.latestKept;
  }
  into.keptClocks += from.keptClocks;
}

bool Timed(const LatencySketch& s) { return s.count != 0; }
bool Timed(const PageLatencySketch& s) { return s.count != 0; }

// A summary table's merge rebuilds its slots: the pages' times are found
// again by key, the run's and the piece's, for the pages it keeps.
Status MergeSummaryPages(const Tallies& from, Tallies& into, TableDrops& drops) {
  const ResponseTimes& ft = from.times;
  ResponseTimes& it = into.times;
  std::vector<std::pair<std::string, PageLatencySketch>> before;
  for (size_t i = 0; it.pages && i < into.pages.used; ++i) {
    if (Timed(it.pages[i])) before.emplace_back(into.pages.slots[i].key.view(), it.pages[i]);
  }
  Status merged = MergeRanked(from.pages, into.pages, drops);
  if (!merged.ok() || (!it.pages && !ft.pages)) return merged;
  PageLatencySketch* pages = PageSketches(it);
  std::fill(pages, pages + kTimedPageSlots, PageLatencySketch{});
  for (const auto& [key, sketch] : before) {
    const int64_t slot = merge_detail::SlotOfKey(into.pages, key);
    if (slot >= 0) MergePageLatency(pages[slot], sketch);
  }
  for (size_t f = 0; ft.pages && f < from.pages.used; ++f) {
    const int64_t slot = merge_detail::SlotOfKey(into.pages, from.pages.slots[f].key.view());
    if (slot >= 0 && Timed(ft.pages[f])) MergePageLatency(pages[slot], ft.pages[f]);
  }
  return merged;
}

// The hours' and the pages' times go with their keys: a key that found the
// run's table full takes its times with it, as its lines would in one run.
Status MergeHoursAndPages(const Tallies& from, Tallies& into, MergeDrops* drops) {
  const ResponseTimes& ft = from.times;
  ResponseTimes& it = into.times;
  AddTable(from.hours, into.hours, drops->tables[2], 0, [&](size_t f, int64_t slot) {
    if (f < kTimedHourSlots && Timed(ft.hours[f])) MergeLatency(it.hours[slot], ft.hours[f]);
  });
  Status merged;
  if (into.pages.summary.on) {
    merged = MergeSummaryPages(from, into, drops->tables[3]);
  } else {
    AddTable(from.pages, into.pages, drops->tables[3], 0, [&](size_t f, int64_t slot) {
      if (ft.pages && f < kTimedPageSlots && Timed(ft.pages[f])) {
        MergePageLatency(PageSketches(it)[slot], ft.pages[f]);
      }
    });
  }
  if (ft.noValue > 0 && it.noValue == 0) it.firstNoValue = ft.firstNoValue;
  it.noValue += ft.noValue;
  if (Timed(ft.overall)) SumResponseTimes(it, into.hours.used);
  return merged;
}

}  // namespace

Status MergeTally(const Tallies& from, const RunCounters& fromCounters, Tallies& into,
                  RunCounters& intoCounters, MergeDrops* drops) {
  *drops = MergeDrops{};
  Status merged;
  auto keep = [&merged](Status s) {
    if (merged.ok()) merged = std::move(s);
  };
  keep(MergeRanked(from.users, into.users, drops->tables[0]));
  AddTable(from.dates, into.dates, drops->tables[1]);
  keep(MergeHoursAndPages(from, into, drops));
  keep(MergeRanked(from.directories, into.directories, drops->tables[4]));
  keep(MergeRanked(from.notFound, into.notFound, drops->tables[5]));
  keep(MergeRanked(from.extra1, into.extra1, drops->tables[6]));
  keep(MergeRanked(from.extra2, into.extra2, drops->tables[7]));
  MergeDistinctTallies(from, into);
  for (size_t i = 0; i < kResponseCounterCount; ++i) into.codes.counts[i] += from.codes.counts[i];
  // Before the counters: the run's lines so far place the piece's.
  MergeAgents(from.agents, into.agents, intoCounters.rejected.records, drops);
  MergeCounters(fromCounters, intoCounters);
  MergeDateRange(fromCounters, intoCounters);
  return merged;
}

}  // namespace logvane
