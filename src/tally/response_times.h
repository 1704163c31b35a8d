// The response times a run keeps, beside the tables they belong to: one
// sketch for the whole log, one per slot of the hour table and one per slot
// of the page table, each moved with its slot when the tables are sorted.
//
// Memory: the log's sketch and the hours' are 16 KiB each (416 KiB, zero
// pages of the run state until used). The pages' sketches, 512 bytes each,
// are 24.4 MiB for the 50,000 slots: they are allocated, zeroed, only when
// the first time taken is counted, and the system then pays for them page
// by page as pages are timed; a log without times never has them.
#ifndef LOGVANE_TALLY_RESPONSE_TIMES_H_
#define LOGVANE_TALLY_RESPONSE_TIMES_H_

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "tally/latency_sketch.h"

namespace logvane {

inline constexpr size_t kTimedHourSlots = 25;     // the hour table's capacity
inline constexpr size_t kTimedPageSlots = 50000;  // the page table's capacity

struct FreeMemory {
  void operator()(void* memory) const { std::free(memory); }
};

struct ResponseTimes {
  LatencySketch overall;  // the hours' merged, once reading ends (SumResponseTimes)
  LatencySketch hours[kTimedHourSlots];
  std::unique_ptr<PageLatencySketch[], FreeMemory> pages;  // null until a page is timed
  // Records whose time field held no value ("-", text, a negative number),
  // and the line of the first.
  int64_t noValue;
  int64_t firstNoValue;
};

// The pages' sketches, allocated zeroed on first use.
PageLatencySketch* AllocatePageSketches(ResponseTimes& times);
inline PageLatencySketch* PageSketches(ResponseTimes& times) {
  return times.pages ? times.pages.get() : AllocatePageSketches(times);
}

// The log's sketch as the merge of the hours' (every time is counted at
// its hour): exactly the sketch of all times, at no cost per line.
void SumResponseTimes(ResponseTimes& times, size_t hoursUsed);

// Empties every sketch that holds values (the hours' and pages' below the
// slots in use), leaving untouched memory untouched.
void ClearResponseTimes(ResponseTimes& times, size_t hoursUsed, size_t pagesUsed);

}  // namespace logvane

#endif  // LOGVANE_TALLY_RESPONSE_TIMES_H_
