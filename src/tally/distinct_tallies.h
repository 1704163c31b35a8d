// The distinct counts of a run: clients of the whole log, and clients and
// visitors (a client with one user agent) of each day. 32 KiB a day, so
// they exist only when a report shows them (STYLE=MODERN or DISTINCT=ON):
// otherwise a run sets nothing aside and adds nothing per line.
#ifndef LOGVANE_TALLY_DISTINCT_TALLIES_H_
#define LOGVANE_TALLY_DISTINCT_TALLIES_H_

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "tally/distinct_count.h"

namespace logvane {

// As many days as the date table holds (tally_tables.h checks).
inline constexpr size_t kDistinctDays = 500;

struct DistinctTallies {
  DistinctCount clients;
  // By the date's slot as the reading phase took it.
  DistinctCount dayClients[kDistinctDays];
  DistinctCount dayVisitors[kDistinctDays];
  // The counters of the date that sorting put at each slot.
  uint16_t dayOf[kDistinctDays];
};

struct FreeDistinct {
  void operator()(DistinctTallies* d) const { std::free(d); }
};
using DistinctTalliesPtr = std::unique_ptr<DistinctTallies, FreeDistinct>;

// Zeroed pages from the system: a day's counters cost memory only once a
// line of that day is counted, and the exact form of a quiet day only the
// pages it reaches.
DistinctTalliesPtr NewDistinctTallies();

// Empties the counters in use (the first `days`) and puts every day's
// counters at its own slot again.
void ClearDistinctTallies(DistinctTallies& d, size_t days);

// What a counted line adds: its client to the log's and its day's clients,
// and its client with its user agent to its day's visitors.
inline void CountDistinct(DistinctTallies& d, size_t daySlot, uint64_t client, uint64_t visitor) {
  AddDistinct(d.clients, client);
  AddDistinct(d.dayClients[daySlot], client);
  AddDistinct(d.dayVisitors[daySlot], visitor);
}

// A count as the report shows it: exact while the counter is, else the
// estimate rounded.
int64_t DistinctFigure(const DistinctCount& counter);

}  // namespace logvane

#endif  // LOGVANE_TALLY_DISTINCT_TALLIES_H_
