#include "tally/sort_tallies.h"

#include <algorithm>

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

template <typename Entry>
void RankByHits(Entry* slots, size_t used) {
  SortInUse(slots, used, [](const Entry& a, const Entry& b) { return a.hits > b.hits; });
}

// Families and crawlers are filled from a table of distinct agents, not in
// line order: ties go to the one a line named first.
template <typename Entry>
void RankByHitsThenFirstLine(Entry* slots, size_t used) {
  SortInUse(slots, used, [](const Entry& a, const Entry& b) {
    return a.hits != b.hits ? a.hits > b.hits : a.firstLine < b.firstLine;
  });
}

}  // namespace

void SortTallies(const RunSettings& settings, const RunCounters& counters, Tallies& t,
                 Console& console) {
  console.Write("sorting...\n\n\n");
  console.Flush();

  if (settings.showUsers) RankByHits(t.users.slots, t.users.used);
  if (settings.showPages) RankByHits(t.pages.slots, t.pages.used);
  if (settings.showDirs) RankByHits(t.directories.slots, t.directories.used);
  if (settings.showDates) {
    SortInUse(t.dates.slots, t.dates.used,
              [](const DateEntry& a, const DateEntry& b) { return a.dateNumber < b.dateNumber; });
  }
  if (settings.showHours) {
    SortInUse(t.hours.slots, t.hours.used,
              [](const HourEntry& a, const HourEntry& b) { return a.hourNumber < b.hourNumber; });
  }
  if (settings.showCodes) RankByHits(t.notFound.slots, t.notFound.used);
  if (counters.hasExtra1) RankByHits(t.extra1.slots, t.extra1.used);
  if (counters.hasExtra2) RankByHits(t.extra2.slots, t.extra2.used);
  AgentTallies& agents = t.agents;
  if (settings.showBrowsers) RankByHitsThenFirstLine(agents.browsers.slots, agents.browsers.used);
  if (settings.showSystems) RankByHitsThenFirstLine(agents.systems.slots, agents.systems.used);
  if (settings.showCrawlers) {
    RankByHitsThenFirstLine(agents.bots.slots, agents.bots.used);
    RankByHits(agents.aiPages.slots, agents.aiPages.used);
  }
}

}  // namespace logvane
