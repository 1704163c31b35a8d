#include "tally/response_times.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace logvane {

PageLatencySketch* AllocatePageSketches(ResponseTimes& times) {
  void* memory = std::calloc(kTimedPageSlots, sizeof(PageLatencySketch));
  if (memory == nullptr) throw std::bad_alloc();
  times.pages.reset(static_cast<PageLatencySketch*>(memory));
  return times.pages.get();
}

void SumResponseTimes(ResponseTimes& times, size_t hoursUsed) {
  if (times.overall.count != 0) std::memset(&times.overall, 0, sizeof(times.overall));
  for (size_t h = 0; h < hoursUsed && h < kTimedHourSlots; ++h) {
    MergeLatency(times.overall, times.hours[h]);
  }
}

void ClearResponseTimes(ResponseTimes& times, size_t hoursUsed, size_t pagesUsed) {
  if (times.overall.count != 0) std::memset(&times.overall, 0, sizeof(times.overall));
  for (size_t h = 0; h < hoursUsed && h < kTimedHourSlots; ++h) {
    if (times.hours[h].count != 0) std::memset(&times.hours[h], 0, sizeof(times.hours[h]));
  }
  if (times.pages && pagesUsed != 0) {
    std::memset(times.pages.get(), 0,
                std::min(pagesUsed, kTimedPageSlots) * sizeof(PageLatencySketch));
  }
  times.noValue = 0;
  times.firstNoValue = 0;
}

}  // namespace logvane
