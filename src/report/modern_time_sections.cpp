// The modern time sections: activity by date, the average day of each
// weekday and the hourly load with its 24-column chart.
#include <algorithm>

#include "report/modern_sections.h"
#include "report/modern_table.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

template <typename Entry, size_t N>
int64_t LargestHits(const Entry (&slots)[N]) {
  int64_t largest = 0;
  for (const Entry& entry : slots) largest = std::max(largest, entry.hits);
  return largest;
}

constexpr int kHoursPerDay = 24;

// One column per hour of the day, bars at the classic widths as heights;
// hours without hits stand empty. The table below holds the same values,
// so the chart is hidden from screen readers.
void WriteHourChart(const HourTable& hours, float barScale, ReportWriter& out) {
  int64_t hits[kHoursPerDay] = {};
  for (const HourEntry& hour : hours.slots) {
    if (hour.hits > 0 && hour.hourNumber >= 0 && hour.hourNumber < kHoursPerDay) {
      hits[hour.hourNumber] += hour.hits;
    }
  }
  out.Write("<div class=hc aria-hidden=true>");
  for (int h = 0; h < kHoursPerDay; ++h) {
    out.Write("<i title=\"");
    out.WriteInt(h);
    out.Write(": ");
    out.WriteInt(hits[h]);
    out.Write("\" style=--w:");
    out.WriteInt(hits[h] > 0 ? BarWidth(hits[h], barScale) : 0);
    out.Write("></i>");
  }
  for (int h = 0; h < kHoursPerDay; ++h) {
    out.Write("<span>");
    out.WriteInt(h);
    out.Write("</span>");
  }
  out.Write("</div>\n");
}

}  // namespace

void WriteModernActivityByDate(const ReportInput& state, ReportWriter& out) {
  const ReportLabels& labels = state.labels;
  const DateTable& dates = state.tallies.dates;
  WriteCardStart(out, "BD", labels[kActivityByDate]);
  WriteModernTableStart(out, KeyColumn::kFirst, true,
                        {labels[kDate], labels[kHits], labels[kKBytes], labels[kGraph]});
  const float barScale = BarScale(LargestHits(dates.slots), state.settings.graphWidth);
  int64_t days = 0;
  double kiloBytes = 0;
  for (const DateEntry& date : dates.slots) {
    if (date.hits <= 0) continue;
    out.Write("<tr><td>");
    WriteEscaped(out, date.key.view());
    NextCell(out);
    out.WriteInt(date.hits);
    NextCell(out);
    WriteKBytes(out, date.byteSum);
    WriteBarCell(out, BarWidth(date.hits, barScale), date.hits);
    ++days;
    kiloBytes += date.byteSum * 0.001;
  }
  WriteModernTableEnd(out);
  WriteModernTotal(out, labels[kTotalDays], days);
  out.Write("<p class=tot>");
  out.Write(labels[kKBytes]);
  out.Write(": <b>");
  out.Write(FormatFixed(kiloBytes, 0));
  out.Write("</b></p>\n");
}

void WriteModernDayOfWeek(const ReportInput& state, ReportWriter& out) {
  const ReportLabels& labels = state.labels;
  const WeekdayTable& week = state.tallies.weekdays;
  WriteCardStart(out, "BA", labels[kDayOfWeekTitle]);
  WriteModernTableStart(out, KeyColumn::kFirst, true,
                        {labels[kDayOfWeek], labels[kAverageHits], labels[kPercent],
                         "Average K bytes", labels[kGraph]});
  // Shares of the summed averages; bars scaled by the largest weekday sum.
  int64_t averageTotal = 0;
  for (int d = 0; d < 7; ++d) {
    if (week.days[d].hits > 0) averageTotal += week.days[d].hits;
  }
  const float barScale = BarScale(week.largestSum, state.settings.graphWidth);
  for (int d = 0; d < 7; ++d) {
    const WeekdayEntry& day = week.days[d];
    if (day.hits <= 0) continue;
    out.Write("<tr><td>");
    out.Write(labels[kSunday + d]);
    NextCell(out);
    out.WriteInt(day.hits);
    NextCell(out);
    WritePercent(out, static_cast<double>(day.hits), static_cast<double>(averageTotal));
    NextCell(out);
    WriteKBytes(out, day.byteSum);
    WriteBarCell(out, BarWidth(day.hits, barScale), day.hits);
  }
  WriteModernTableEnd(out);
}

void WriteModernHourlyLoad(const ReportInput& state, ReportWriter& out) {
  const ReportLabels& labels = state.labels;
  const HourTable& hours = state.tallies.hours;
  WriteCardStart(out, "BH", labels[kHourlyLoad]);
  const float total = FloatHitSum(hours.slots);
  const float barScale = BarScale(LargestHits(hours.slots), state.settings.graphWidth);
  WriteHourChart(hours, barScale, out);
  WriteModernTableStart(
      out, KeyColumn::kFirst, true,
      {labels[kHour], labels[kHits], labels[kKBytes], labels[kPercent], labels[kGraph]});
  for (const HourEntry& hour : hours.slots) {
    if (hour.hits <= 0) continue;
    out.Write("<tr><td>");
    WriteEscaped(out, hour.key.view());
    NextCell(out);
    out.WriteInt(hour.hits);
    NextCell(out);
    WriteKBytes(out, hour.byteSum);
    NextCell(out);
    WritePercent(out, static_cast<double>(hour.hits), total);
    WriteBarCell(out, BarWidth(hour.hits, barScale), hour.hits);
  }
  WriteModernTableEnd(out);
}

}  // namespace logvane
