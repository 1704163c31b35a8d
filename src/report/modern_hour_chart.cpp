#include "report/modern_hour_chart.h"

#include "report/table_pattern.h"

namespace logvane {

namespace {
constexpr int kHoursPerDay = 24;
}

void WriteHourChart(const ReportInput& state, const SectionRows& hours, ReportWriter& out) {
  const float barScale = hours.tables.front().barScale;
  int64_t hits[kHoursPerDay] = {};
  for (const HourEntry& hour : state.tallies.hours.slots) {
    if (hour.hits > 0 && hour.hourNumber >= 0 && hour.hourNumber < kHoursPerDay) {
      hits[hour.hourNumber] += hour.hits;
    }
  }
  // The table below holds the same values, so the chart is hidden from
  // screen readers.
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

}  // namespace logvane
