#include "report/time_sections.h"

#include <algorithm>

#include "common/ascii_text.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

template <typename Entry, size_t N>
int64_t LargestHits(const Entry (&slots)[N]) {
  int64_t largest = 0;
  for (const Entry& entry : slots) largest = std::max(largest, entry.hits);
  return largest;
}

}  // namespace

void WriteActivityByDate(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const DateTable& dates = state.tallies.dates;

  WriteHeading(out, labels[kActivityByDate]);
  WriteTableStart(out);
  WriteHeaderRow(out, {labels[kDate], labels[kHits], labels[kKBytes], labels[kGraph]});
  const float barScale = BarScale(LargestHits(dates.slots), settings.graphWidth);
  int64_t days = 0;
  double kiloBytes = 0;
  for (const DateEntry& date : dates.slots) {
    if (date.hits <= 0) continue;
    out.Write("<tr><td>");
    WriteEscaped(out, date.key.view());
    out.Write("</td><td>");
    out.WriteInt(date.hits);
    out.Write("</td><td>");
    WriteKBytes(out, date.byteSum);
    WriteGraphCell(out, settings, BarWidth(date.hits, barScale));
    ++days;
    kiloBytes += date.byteSum * 0.001;
  }
  WriteTableEnd(out);
  WriteTotalLine(out, labels[kTotalDays], days);
  out.Write("<br>");
  out.Write(labels[kKBytes]);
  out.Write(": ");
  out.Write(FormatFixed(kiloBytes, 0));
  out.Write(" \n");
  WriteSectionEnd(out);
}

void WriteDayOfWeek(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const WeekdayTable& week = state.tallies.weekdays;

  WriteHeading(out, labels[kDayOfWeekTitle]);
  WriteTableStart(out);
  WriteHeaderRow(out, {labels[kDayOfWeek], labels[kAverageHits], labels[kPercent],
                       "Average K bytes", labels[kGraph]});

  // The percentages are shares of the summed averages, while the bars are
  // scaled by the largest weekday sum, before averaging.
  int64_t averageTotal = 0;
  for (int d = 0; d < 7; ++d) {
    if (week.days[d].hits > 0) averageTotal += week.days[d].hits;
  }
  const float barScale = BarScale(week.largestSum, settings.graphWidth);

  for (int d = 0; d < 7; ++d) {
    const WeekdayEntry& day = week.days[d];
    if (day.hits <= 0) continue;
    out.Write("<tr><td>");
    out.Write(labels[kSunday + d]);
    out.Write("</td><td>");
    out.WriteInt(day.hits);
    out.Write("</td><td>");
    WritePercent(out, static_cast<double>(day.hits), static_cast<double>(averageTotal));
    out.Write("</td><td>");
    WriteKBytes(out, day.byteSum);
    out.Write(" ");
    WriteGraphCell(out, settings, BarWidth(day.hits, barScale));
  }
  WriteTableEnd(out);
  WriteSectionEnd(out);
}

void WriteHourlyLoad(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const HourTable& hours = state.tallies.hours;

  WriteHeading(out, labels[kHourlyLoad]);
  WriteTableStart(out);
  WriteHeaderRow(out,
                 {labels[kHour], labels[kHits], labels[kKBytes], labels[kPercent], labels[kGraph]});
  const float total = FloatHitSum(hours.slots);
  const float barScale = BarScale(LargestHits(hours.slots), settings.graphWidth);
  for (const HourEntry& hour : hours.slots) {
    if (hour.hits <= 0) continue;
    out.Write("<tr><td>");
    WriteEscaped(out, hour.key.view());
    out.Write("</td><td>");
    out.WriteInt(hour.hits);
    out.Write("</td><td>");
    WriteKBytes(out, hour.byteSum);
    out.Write("</td><td>");
    WritePercent(out, static_cast<double>(hour.hits), total);
    WriteGraphCell(out, settings, BarWidth(hour.hits, barScale));
  }
  WriteTableEnd(out);
  WriteSectionEnd(out);
}

}  // namespace logvane
