#include "tally/sort_tallies.h"

#include <algorithm>
#include <numeric>
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

template <typename Entry>
void RankByHits(Entry* slots, size_t used) {
  SortInUse(slots, used, [](const Entry& a, const Entry& b) { return a.hits > b.hits; });
}

// The same order, with each slot's response-time sketch (`beside`, one per
// slot) moved along with it: the order is found on slot numbers, so it is
// exactly the stable sort's.
template <typename Entry, typename Sketch, typename Less>
void SortInUseWith(Entry* slots, size_t used, Sketch* beside, Less less) {
  if (beside == nullptr) {
    SortInUse(slots, used, less);
    return;
  }
  std::vector<size_t> order(used);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return less(slots[a], slots[b]); });
  std::vector<Entry> entries(slots, slots + used);
  std::vector<Sketch> sketches(beside, beside + used);
  for (size_t i = 0; i < used; ++i) {
    slots[i] = entries[order[i]];
    beside[i] = sketches[order[i]];
  }
}

}  // namespace

void SortTallies(const RunSettings& settings, const RunCounters& counters, Tallies& t,
                 Console& console) {
  console.Write("sorting...\n\n\n");
  console.Flush();

  if (settings.showUsers) RankByHits(t.users.slots, t.users.used);
  if (settings.showPages) {
    SortInUseWith(t.pages.slots, t.pages.used, t.times.pages.get(),
                  [](const KeyCountEntry& a, const KeyCountEntry& b) { return a.hits > b.hits; });
  }
  if (settings.showDirs) RankByHits(t.directories.slots, t.directories.used);
  if (settings.showDates) {
    SortInUse(t.dates.slots, t.dates.used,
              [](const DateEntry& a, const DateEntry& b) { return a.dateNumber < b.dateNumber; });
  }
  if (settings.showHours) {
    LatencySketch* hourTimes = t.times.overall.count != 0 ? t.times.hours : nullptr;
    SortInUseWith(
        t.hours.slots, t.hours.used, hourTimes,
        [](const HourEntry& a, const HourEntry& b) { return a.hourNumber < b.hourNumber; });
  }
  if (settings.showCodes) RankByHits(t.notFound.slots, t.notFound.used);
  if (counters.hasExtra1) RankByHits(t.extra1.slots, t.extra1.used);
  if (counters.hasExtra2) RankByHits(t.extra2.slots, t.extra2.used);
}

}  // namespace logvane
