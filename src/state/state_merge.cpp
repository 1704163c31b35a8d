#include "state/state_merge.h"

#include <algorithm>

namespace logvane {

namespace {

// Calls slotMoved(from's slot, into's slot) for each key that found a place.
template <typename Table, typename Fn = void (*)(size_t, int64_t)>
void MergeTable(
    const Table& from, Table& into, TableDrops& drops, Fn&& slotMoved = [](size_t, int64_t) {}) {
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
    if constexpr (requires { e.isRobot; }) {
      if (e.isRobot != 0) into.slots[slot].isRobot = 1;
    }
  }
  drops.droppedBefore = from.dropped;
  drops.ranFullBefore = from.ranFull;
  into.dropped += from.dropped;
  into.ranFull = into.ranFull || from.ranFull;
}

// The first line of a kind stays the one of the first input that had one.
void AddFirst(int64_t fromCount, int64_t fromFirst, int64_t& intoCount, int64_t& intoFirst) {
  if (intoCount == 0 && fromCount > 0) intoFirst = fromFirst;
  intoCount += fromCount;
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

// The hours' and the pages' times go with their keys: a key that found the
// run's table full takes its times with it, as its lines would in one run.
void MergeHoursAndPages(const Tallies& from, Tallies& into, MergeDrops* drops) {
  const ResponseTimes& ft = from.times;
  ResponseTimes& it = into.times;
  MergeTable(from.hours, into.hours, drops->tables[2], [&](size_t f, int64_t slot) {
    if (f < kTimedHourSlots && Timed(ft.hours[f])) MergeLatency(it.hours[slot], ft.hours[f]);
  });
  MergeTable(from.pages, into.pages, drops->tables[3], [&](size_t f, int64_t slot) {
    if (ft.pages && f < kTimedPageSlots && Timed(ft.pages[f])) {
      MergePageLatency(PageSketches(it)[slot], ft.pages[f]);
    }
  });
  if (ft.noValue > 0 && it.noValue == 0) it.firstNoValue = ft.firstNoValue;
  it.noValue += ft.noValue;
  if (Timed(ft.overall)) SumResponseTimes(it, into.hours.used);
}

}  // namespace

void MergeTally(const Tallies& from, const RunCounters& fromCounters, Tallies& into,
                RunCounters& intoCounters, MergeDrops* drops) {
  *drops = MergeDrops{};
  MergeTable(from.users, into.users, drops->tables[0]);
  MergeTable(from.dates, into.dates, drops->tables[1]);
  MergeHoursAndPages(from, into, drops);
  MergeTable(from.directories, into.directories, drops->tables[4]);
  MergeTable(from.notFound, into.notFound, drops->tables[5]);
  MergeTable(from.extra1, into.extra1, drops->tables[6]);
  MergeTable(from.extra2, into.extra2, drops->tables[7]);
  for (size_t i = 0; i < kResponseCounterCount; ++i) into.codes.counts[i] += from.codes.counts[i];
  MergeCounters(fromCounters, intoCounters);
  MergeDateRange(fromCounters, intoCounters);
}

}  // namespace logvane
