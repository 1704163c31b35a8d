#include "report/time_sections.h"

#include <algorithm>

#include "report/fixed_captions.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

template <typename Entry, size_t N>
int64_t LargestHits(const Entry (&slots)[N]) {
  int64_t largest = 0;
  for (const Entry& entry : slots) largest = std::max(largest, entry.hits);
  return largest;
}

// A row for every slot with hits, in table order.
template <typename Entry, size_t N>
void AddTimeRows(SectionTable& table, const Entry (&slots)[N], float total) {
  for (const Entry& entry : slots) {
    if (entry.hits <= 0) continue;
    TableRow& row = table.AddRow(entry.key.view(), entry.hits);
    row.kiloBytes = entry.byteSum * 0.001;
    row.percent = Percent(static_cast<double>(entry.hits), total);
  }
}

}  // namespace

double LogKiloBytes(const DateTable& dates) {
  double kiloBytes = 0;
  for (const DateEntry& date : dates.slots) {
    if (date.hits > 0) kiloBytes += date.byteSum * 0.001;
  }
  return kiloBytes;
}

SectionRows DateRows(const ReportInput& state) {
  const ReportLabels& labels = state.labels;
  const DateTable& dates = state.tallies.dates;
  SectionRows section{labels[kActivityByDate], {SectionTable{}}};
  SectionTable& table = section.tables[0];
  const DistinctTallies* distinct = state.tallies.distinct.get();
  if (distinct == nullptr) {
    table.SetColumns({{Column::kKey, labels[kDate]},
                      {Column::kHits, labels[kHits]},
                      {Column::kKBytes, labels[kKBytes]},
                      {Column::kGraph, labels[kGraph]}});
  } else {
    table.SetColumns({{Column::kKey, labels[kDate]},
                      {Column::kHits, labels[kHits]},
                      {Column::kVisitors, labels[kVisitors]},
                      {Column::kKBytes, labels[kKBytes]},
                      {Column::kGraph, labels[kGraph]}});
  }
  table.keys = KeyOrigin::kTimeKey;
  table.barScale = BarScale(LargestHits(dates.slots), state.settings.graphWidth);
  table.ReserveRows(dates.used, kDateCapacity);
  AddTimeRows(table, dates.slots, 0);  // no percent column
  if (distinct != nullptr) {
    // Rows are the slots with hits, in table order.
    size_t row = 0;
    for (size_t i = 0; i < kDateCapacity && row < table.rows.size(); ++i) {
      if (dates.slots[i].hits <= 0) continue;
      table.rows[row++].visitors = DistinctFigure(distinct->dayVisitors[distinct->dayOf[i]]);
    }
  }
  table.totals.push_back({labels[kTotalDays], std::to_string(table.rows.size())});
  table.totals.push_back({labels[kKBytes], FormatFixed(LogKiloBytes(dates), 0)});
  if (distinct != nullptr) {
    table.totals.push_back(
        {labels[kDistinctClients], std::to_string(DistinctFigure(distinct->clients))});
  }
  return section;
}

SectionRows WeekdayRows(const ReportInput& state) {
  const ReportLabels& labels = state.labels;
  const WeekdayTable& week = state.tallies.weekdays;
  SectionRows section{labels[kDayOfWeekTitle], {SectionTable{}}};
  SectionTable& table = section.tables[0];
  table.SetColumns({{Column::kKey, labels[kDayOfWeek]},
                    {Column::kHits, labels[kAverageHits]},
                    {Column::kPercent, labels[kPercent]},
                    {Column::kAverageKBytes, kAverageKBytesHeading},
                    {Column::kGraph, labels[kGraph]}});
  table.keys = KeyOrigin::kOwnText;
  // The percentages are shares of the summed averages, while the bars are
  // scaled by the largest weekday sum, before averaging.
  int64_t averageTotal = 0;
  for (int d = 0; d < 7; ++d) {
    if (week.days[d].hits > 0) averageTotal += week.days[d].hits;
  }
  table.barScale = BarScale(week.largestSum, state.settings.graphWidth);
  for (int d = 0; d < 7; ++d) {
    const WeekdayEntry& day = week.days[d];
    if (day.hits <= 0) continue;
    TableRow& row = table.AddRow(labels[kSunday + d], day.hits);
    row.percent = Percent(static_cast<double>(day.hits), static_cast<double>(averageTotal));
    row.kiloBytes = day.byteSum * 0.001;
  }
  return section;
}

SectionRows HourRows(const ReportInput& state) {
  const ReportLabels& labels = state.labels;
  const HourTable& hours = state.tallies.hours;
  SectionRows section{labels[kHourlyLoad], {SectionTable{}}};
  SectionTable& table = section.tables[0];
  table.SetColumns({{Column::kKey, labels[kHour]},
                    {Column::kHits, labels[kHits]},
                    {Column::kKBytes, labels[kKBytes]},
                    {Column::kPercent, labels[kPercent]},
                    {Column::kGraph, labels[kGraph]}});
  table.keys = KeyOrigin::kTimeKey;
  table.barScale = BarScale(LargestHits(hours.slots), state.settings.graphWidth);
  AddTimeRows(table, hours.slots, FloatHitSum(hours.slots));
  return section;
}

}  // namespace logvane
