#include "tally/distinct_tallies.h"

#include <cmath>
#include <cstring>
#include <new>

namespace logvane {

namespace {

void PlaceDays(DistinctTallies& d) {
  for (size_t i = 0; i < kDistinctDays; ++i) d.dayOf[i] = static_cast<uint16_t>(i);
}

}  // namespace

DistinctTalliesPtr NewDistinctTallies() {
  void* memory = std::calloc(1, sizeof(DistinctTallies));
  if (memory == nullptr) throw std::bad_alloc();
  DistinctTalliesPtr d(static_cast<DistinctTallies*>(memory));
  PlaceDays(*d);
  return d;
}

void ClearDistinctTallies(DistinctTallies& d, size_t days) {
  std::memset(&d.clients, 0, sizeof(d.clients));
  if (days != 0) {
    std::memset(d.dayClients, 0, days * sizeof(d.dayClients[0]));
    std::memset(d.dayVisitors, 0, days * sizeof(d.dayVisitors[0]));
  }
  PlaceDays(d);
}

int64_t DistinctFigure(const DistinctCount& counter) {
  return std::llround(DistinctEstimate(counter));
}

}  // namespace logvane
