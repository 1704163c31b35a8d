#include "tally/tally_tables.h"

#include <algorithm>
#include <cstring>

namespace logvane {

namespace {

// Only slots below the count in use are ever written, and the index only
// once a key was added, so a table that is empty already (a fresh run
// state's zero pages) is left untouched rather than written over.
template <typename Entry>
void ClearSlots(Entry* slots, size_t used) {
  if (used != 0) std::memset(static_cast<void*>(slots), 0, used * sizeof(Entry));
}

template <typename Table>
void ClearTable(Table& table) {
  ClearSlots(table.slots, table.used);
  if (table.used != 0) table.index.Clear();
  ClearTableSummary(table.summary, table.used);
  table.used = 0;
  table.recent = 0;
  table.dropped = 0;
}

}  // namespace

size_t ResponseCounterIndex(int32_t code) {
  for (size_t i = 0; i < std::size(kCountedCodes); ++i) {
    if (kCountedCodes[i] == code) return i + 1;
  }
  return 0;
}

void CountResponseCode(ResponseCodeCounters& counters, int32_t code) {
  ++counters.counts[ResponseCounterIndex(code)];
}

int64_t ResponseCount(const ResponseCodeCounters& counters, int32_t code) {
  return counters.counts[ResponseCounterIndex(code)];
}

void ClearTallies(Tallies& tallies) {
  if (tallies.distinct) ClearDistinctTallies(*tallies.distinct, tallies.dates.used);
  ClearResponseTimes(tallies.times, tallies.hours.used, tallies.pages.used);
  ClearTable(tallies.users);
  ClearTable(tallies.dates);
  ClearTable(tallies.hours);
  ClearTable(tallies.pages);
  ClearTable(tallies.directories);
  ClearTable(tallies.notFound);
  ClearTable(tallies.extra1);
  ClearTable(tallies.extra2);
  std::memset(static_cast<void*>(&tallies.weekdays), 0, sizeof(tallies.weekdays));
  std::memset(static_cast<void*>(&tallies.nations), 0, sizeof(tallies.nations));
  AgentTallies& agents = tallies.agents;
  ClearTable(agents.browsers);
  ClearTable(agents.systems);
  ClearTable(agents.bots);
  ClearTable(agents.aiPages);
  std::fill(std::begin(agents.classHits), std::end(agents.classHits), 0);
  std::fill(std::begin(agents.classBytes), std::end(agents.classBytes), 0.0);
}

void SetCountingModes(Tallies& t, bool summaryTables, bool distinctCounts) {
  t.users.summary.on = summaryTables;
  t.pages.summary.on = summaryTables;
  t.directories.summary.on = summaryTables;
  t.notFound.summary.on = summaryTables;
  t.extra1.summary.on = summaryTables;
  t.extra2.summary.on = summaryTables;
  if (distinctCounts && !t.distinct) t.distinct = NewDistinctTallies();
  if (!distinctCounts) t.distinct.reset();
}

int32_t DateNumberOf(std::string_view dateText) {
  auto digitsValue = [&](size_t from, size_t count) {
    if (from >= dateText.size()) return 0;
    return static_cast<int32_t>(LeadingInteger(dateText.substr(from, count)));
  };
  int32_t day = digitsValue(0, 2);
  int32_t year = digitsValue(7, 4);
  int32_t month = dateText.size() >= 6 ? MonthNumber(dateText.substr(3, 3)) : 0;
  return year * 10000 + month * 100 + day;
}

}  // namespace logvane
