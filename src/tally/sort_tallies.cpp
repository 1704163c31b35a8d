#include "tally/sort_tallies.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace logvane {

namespace {

// Only the slots in use are sorted: they form the beginning of every table
// after reading, and the free slots after them stay where they are, which
// is where every reader looks for them in the ranked tables. A stable sort
// keeps first-seen order among equal values, so a report does not change
// from run to run.
template <typename Entry, typename Less>
void SortInUse(Entry* slots, size_t used, Less less) {
  std::stable_sort(slots, slots + used, less);
}

// The order of slots 0 .. used-1 that a stable sort by `less` gives.
template <typename Entry, typename Less>
std::vector<uint32_t> SortedOrder(const Entry* slots, size_t used, Less less) {
  std::vector<uint32_t> order(used);
  for (size_t i = 0; i < used; ++i) order[i] = static_cast<uint32_t>(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return less(slots[a], slots[b]); });
  return order;
}

// Puts values[order[i]] at i for each i.
template <typename T>
void Permute(T* values, const std::vector<uint32_t>& order) {
  std::vector<T> moved(order.size());
  for (size_t i = 0; i < order.size(); ++i) moved[i] = values[order[i]];
  std::copy(moved.begin(), moved.end(), values);
}

// A table that evicted keeps each slot's overcounts beside its entry.
template <typename Table>
void RankByHits(Table& table) {
  auto byHits = [](const auto& a, const auto& b) { return a.hits > b.hits; };
  if (!SummaryEvicted(table.summary)) {
    SortInUse(table.slots, table.used, byHits);
    return;
  }
  const std::vector<uint32_t> order = SortedOrder(table.slots, table.used, byHits);
  Permute(table.slots, order);
  Permute(table.summary.overcount, order);
  Permute(table.summary.byteOvercount, order);
}

// With distinct counts, each day's counters are found through dayOf.
void SortDates(DateTable& dates, DistinctTallies* distinct) {
  auto byDay = [](const DateEntry& a, const DateEntry& b) { return a.dateNumber < b.dateNumber; };
  if (distinct == nullptr) {
    SortInUse(dates.slots, dates.used, byDay);
    return;
  }
  const std::vector<uint32_t> order = SortedOrder(dates.slots, dates.used, byDay);
  Permute(dates.slots, order);
  Permute(distinct->dayOf, order);
}

// Families and crawlers are filled from a table of distinct agents, not in
// line order: ties go to the one a line named first.
template <typename Entry>
void RankByHitsThenFirstLine(Entry* slots, size_t used) {
  SortInUse(slots, used, [](const Entry& a, const Entry& b) {
    return a.hits != b.hits ? a.hits > b.hits : a.firstLine < b.firstLine;
  });
}

// The pages by hits, each slot's response-time sketch (when pages were
// timed) and overcounts (when the table evicted) moved along with it.
void RankPages(PageTable& pages, PageLatencySketch* sketches) {
  if (sketches == nullptr) {
    RankByHits(pages);
    return;
  }
  auto byHits = [](const KeyCountEntry& a, const KeyCountEntry& b) { return a.hits > b.hits; };
  const std::vector<uint32_t> order = SortedOrder(pages.slots, pages.used, byHits);
  Permute(pages.slots, order);
  Permute(sketches, order);
  if (SummaryEvicted(pages.summary)) {
    Permute(pages.summary.overcount, order);
    Permute(pages.summary.byteOvercount, order);
  }
}

}  // namespace

void SortTallies(const RunSettings& settings, const RunCounters& counters, Tallies& t,
                 Console& console) {
  console.Write("sorting...\n\n\n");
  console.Flush();

  if (settings.showUsers) RankByHits(t.users);
  if (settings.showPages) RankPages(t.pages, t.times.pages.get());
  if (settings.showDirs) RankByHits(t.directories);
  if (settings.showDates) SortDates(t.dates, t.distinct.get());
  if (settings.showHours) {
    LatencySketch* hourTimes = t.times.overall.count != 0 ? t.times.hours : nullptr;
    auto byHour = [](const HourEntry& a, const HourEntry& b) {
      return a.hourNumber < b.hourNumber;
    };
    if (hourTimes == nullptr) {
      SortInUse(t.hours.slots, t.hours.used, byHour);
    } else {
      const std::vector<uint32_t> order = SortedOrder(t.hours.slots, t.hours.used, byHour);
      Permute(t.hours.slots, order);
      Permute(hourTimes, order);
    }
  }
  if (settings.showCodes) RankByHits(t.notFound);
  if (counters.hasExtra1) RankByHits(t.extra1);
  if (counters.hasExtra2) RankByHits(t.extra2);
  AgentTallies& agents = t.agents;
  if (settings.showBrowsers) RankByHitsThenFirstLine(agents.browsers.slots, agents.browsers.used);
  if (settings.showSystems) RankByHitsThenFirstLine(agents.systems.slots, agents.systems.used);
  if (settings.showCrawlers) {
    RankByHitsThenFirstLine(agents.bots.slots, agents.bots.used);
    RankByHits(agents.aiPages);
  }
}

}  // namespace logvane
