// Whether two reading phases over one log, on one thread and on several,
// left the same tallies and counters, slot by slot in first-seen order.
#ifndef LOGVANE_FUZZ_SAME_READING_H_
#define LOGVANE_FUZZ_SAME_READING_H_

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "driver/run_state.h"

namespace logvane::fuzzing {

template <typename Entry, typename Extra>
inline bool SameSlots(const Entry* a, const Entry* b, size_t used, Extra extra) {
  for (size_t i = 0; i < used; ++i) {
    if (a[i].hits != b[i].hits || a[i].key.view() != b[i].key.view() || !extra(a[i], b[i])) {
      return false;
    }
  }
  return true;
}

// The response times of the whole log, the hours and the pages in use.
inline bool SameTimes(const RunState& x, const RunState& y) {
  const ResponseTimes& a = x.tallies.times;
  const ResponseTimes& b = y.tallies.times;
  if (!(a.overall == b.overall) || a.noValue != b.noValue) return false;
  for (size_t h = 0; h < x.tallies.hours.used; ++h) {
    if (!(a.hours[h] == b.hours[h])) return false;
  }
  if ((a.pages == nullptr) != (b.pages == nullptr)) return false;
  for (size_t p = 0; a.pages != nullptr && p < x.tallies.pages.used; ++p) {
    if (!(a.pages[p] == b.pages[p])) return false;
  }
  return true;
}

inline bool SameReading(const RunState& x, const RunState& y) {
  const Tallies& a = x.tallies;
  const Tallies& b = y.tallies;
  auto none = [](const auto&, const auto&) { return true; };
  auto sums = [](const auto& e, const auto& f) { return e.byteSum == f.byteSum; };
  return a.users.used == b.users.used && a.users.ranFull == b.users.ranFull &&
         SameSlots(a.users.slots, b.users.slots, a.users.used,
                   [](const UserEntry& e, const UserEntry& f) {
                     return e.byteSum == f.byteSum && e.isRobot == f.isRobot;
                   }) &&
         a.dates.used == b.dates.used &&
         SameSlots(a.dates.slots, b.dates.slots, a.dates.used, sums) &&
         a.hours.used == b.hours.used &&
         SameSlots(a.hours.slots, b.hours.slots, a.hours.used, sums) &&
         a.pages.used == b.pages.used &&
         SameSlots(a.pages.slots, b.pages.slots, a.pages.used, none) &&
         a.directories.used == b.directories.used &&
         SameSlots(a.directories.slots, b.directories.slots, a.directories.used, none) &&
         a.notFound.used == b.notFound.used &&
         SameSlots(a.notFound.slots, b.notFound.slots, a.notFound.used, none) &&
         a.extra1.used == b.extra1.used &&
         SameSlots(a.extra1.slots, b.extra1.slots, a.extra1.used, none) &&
         a.extra2.used == b.extra2.used &&
         SameSlots(a.extra2.slots, b.extra2.slots, a.extra2.used, none) &&
         std::equal(std::begin(a.codes.counts), std::end(a.codes.counts), b.codes.counts) &&
         x.counters.processedCount == y.counters.processedCount &&
         x.counters.pagesRequested == y.counters.pagesRequested &&
         x.counters.previousUser.view() == y.counters.previousUser.view() &&
         x.counters.hasExtra1 == y.counters.hasExtra1 &&
         x.counters.hasExtra2 == y.counters.hasExtra2 &&
         x.counters.readError == y.counters.readError && SameTimes(x, y) &&
         x.counters.outOfRange == y.counters.outOfRange &&
         x.counters.keptClocks == y.counters.keptClocks;
}

}  // namespace logvane::fuzzing

#endif  // LOGVANE_FUZZ_SAME_READING_H_
