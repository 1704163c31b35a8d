#include "report/response_time_section.h"

#include <algorithm>
#include <string>

namespace logvane {

namespace {

constexpr double kQuantiles[] = {0.50, 0.90, 0.95, 0.99};

// The count, the four percentiles, the longest and the mean of a sketch.
void PutFigures(TableRow& row, const LatencySketch& sketch) {
  for (size_t i = 0; i < std::size(kQuantiles); ++i) {
    row.times[i] = LatencyQuantile(sketch, kQuantiles[i]);
  }
  row.times[4] = static_cast<double>(sketch.maxMicros);
  row.times[5] = static_cast<double>(sketch.sumMicros) / static_cast<double>(sketch.count);
}

}  // namespace

bool HasResponseTimes(const ReportInput& state) {
  return state.settings.showTimes && state.tallies.times.overall.count > 0;
}

std::vector<size_t> SlowestPages(const PageTable& pages, const PageLatencySketch* sketches,
                                 int64_t minHits, size_t limit) {
  struct Candidate {
    size_t slot;
    double p95;
    uint64_t count;
  };
  std::vector<Candidate> candidates;
  if (sketches == nullptr) return {};
  for (size_t slot = 0; slot < pages.used; ++slot) {
    const PageLatencySketch& sketch = sketches[slot];
    if (sketch.count == 0 || sketch.count < static_cast<uint64_t>(std::max<int64_t>(minHits, 1))) {
      continue;
    }
    candidates.push_back({slot, PageLatencyQuantile(sketch, 0.95).micros, sketch.count});
  }
  auto slower = [&](const Candidate& a, const Candidate& b) {
    if (a.p95 != b.p95) return a.p95 > b.p95;
    if (a.count != b.count) return a.count > b.count;
    return pages.slots[a.slot].key.view() < pages.slots[b.slot].key.view();
  };
  size_t shown = std::min(limit, candidates.size());
  std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(shown),
                    candidates.end(), slower);
  std::vector<size_t> slots;
  for (size_t i = 0; i < shown; ++i) slots.push_back(candidates[i].slot);
  return slots;
}

namespace {

// By hour, in hour order whether or not the hour table was sorted, then the
// whole log.
void FillHourTimes(SectionTable& hours, const ReportInput& state) {
  const ReportLabels& labels = state.labels;
  const ResponseTimes& times = state.tallies.times;
  hours.SetColumns({{Column::kKey, labels[kHour]},
                    {Column::kHits, labels[kTimedRequests]},
                    {Column::kTime50, labels[kMedianTime]},
                    {Column::kTime90, labels[kP90Time]},
                    {Column::kTime95, labels[kP95Time]},
                    {Column::kTime99, labels[kP99Time]},
                    {Column::kTimeLongest, labels[kLongestTime]},
                    {Column::kTimeMean, labels[kMeanTime]}});
  hours.keys = KeyOrigin::kTimeKey;
  const HourTable& hourTable = state.tallies.hours;
  std::vector<size_t> hourSlots;
  for (size_t slot = 0; slot < hourTable.used; ++slot) {
    if (times.hours[slot].count > 0) hourSlots.push_back(slot);
  }
  std::stable_sort(hourSlots.begin(), hourSlots.end(), [&](size_t a, size_t b) {
    return hourTable.slots[a].hourNumber < hourTable.slots[b].hourNumber;
  });
  for (size_t slot : hourSlots) {
    const LatencySketch& sketch = times.hours[slot];
    TableRow& row =
        hours.AddRow(hourTable.slots[slot].key.view(), static_cast<int64_t>(sketch.count));
    PutFigures(row, sketch);
  }
  TableRow& all = hours.AddRow(labels[kAllHours], static_cast<int64_t>(times.overall.count));
  PutFigures(all, times.overall);
  hours.totals.push_back({labels[kUntimedRequests], std::to_string(times.noValue)});
}

// The slowest pages; the page sketch is the coarser one, so its figures may
// be upper bounds.
void FillSlowestPages(SectionTable& slow, const ReportInput& state) {
  const ReportLabels& labels = state.labels;
  const ResponseTimes& times = state.tallies.times;
  slow.caption = labels[kSlowestPages];
  slow.SetColumns({{Column::kRank, labels[kRank]},
                   {Column::kKey, labels[kPage]},
                   {Column::kHits, labels[kHits]},
                   {Column::kTime50, labels[kMedianTime]},
                   {Column::kTime95, labels[kP95Time]},
                   {Column::kTime99, labels[kP99Time]},
                   {Column::kTimeLongest, labels[kLongestTime]}});
  slow.keys = KeyOrigin::kLogKey;
  const PageTable& pages = state.tallies.pages;
  const PageLatencySketch* sketches = times.pages.get();
  const std::vector<size_t> ranked =
      SlowestPages(pages, sketches, state.settings.minSlowHits,
                   static_cast<size_t>(std::max<int32_t>(state.settings.maxSlow, 0)));
  for (size_t i = 0; i < ranked.size(); ++i) {
    const PageLatencySketch& sketch = sketches[ranked[i]];
    TableRow& row =
        slow.AddRow(pages.slots[ranked[i]].key.view(), static_cast<int64_t>(sketch.count));
    row.rank = static_cast<int64_t>(i + 1);
    // Each figure at its column's place in TableRow::times.
    const double quantiles[] = {0.50, 0.95, 0.99};
    for (size_t q = 0; q < 3; ++q) {
      LatencyEstimate e = PageLatencyQuantile(sketch, quantiles[q]);
      size_t figure = q == 0 ? 0 : q + 1;
      row.times[figure] = e.micros;
      if (e.atMost) row.atMost |= static_cast<uint8_t>(1u << figure);
    }
    row.times[4] = static_cast<double>(sketch.maxMicros);
  }
  slow.totals.push_back({labels[kSlowPageHits], std::to_string(state.settings.minSlowHits)});
}

}  // namespace

SectionRows ResponseTimeRows(const ReportInput& state) {
  SectionRows section{state.labels[kResponseTimes], {SectionTable{}, SectionTable{}}};
  FillHourTimes(section.tables[0], state);
  FillSlowestPages(section.tables[1], state);
  return section;
}

}  // namespace logvane
