#include "report/time_sections.h"

#include <algorithm>

#include "common/ascii_text.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

constexpr std::string_view kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The decimal digits at the start of `text` (no sign, no blanks), 0 when
// there are none; saturates instead of overflowing.
int64_t LeadingDigits(std::string_view text) {
  constexpr int64_t kLimit = INT64_MAX / 10 - 10;
  int64_t value = 0;
  for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Days from 1970-01-01 to the first of `month` in `year`, for years near
// 2000 (the caller keeps them there).
int64_t DaysToMonthStart(int64_t year, int month) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

template <typename Entry, size_t N>
int64_t LargestHits(const Entry (&slots)[N]) {
  int64_t largest = 0;
  for (const Entry& entry : slots) largest = std::max(largest, entry.hits);
  return largest;
}

}  // namespace

int WeekdayOf(int64_t year, int month, int64_t day) {
  // 400 Gregorian years are exactly 20871 weeks, so any year can stand in
  // for one near 2000 with the same weekdays.
  const int64_t nearYear = 2000 + ((year % 400) + 400) % 400;
  const int64_t days = DaysToMonthStart(nearYear, month);
  const int64_t firstWeekday = ((days + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  const int64_t offset = ((day - 1) % 7 + 7) % 7;
  return static_cast<int>((firstWeekday + offset) % 7);
}

std::optional<int> WeekdayOfDateKey(std::string_view key) {
  const int64_t day = LeadingDigits(key);
  const int64_t year = key.size() > 7 ? LeadingDigits(key.substr(7)) : 0;
  int month = 0;
  if (key.size() >= 6) {
    for (int m = 0; m < 12; ++m) {
      if (EqualsFolded(key.substr(3, 3), kMonthNames[m])) month = m + 1;
    }
  }
  if (day == 0 || month == 0 || year == 0) return std::nullopt;
  return WeekdayOf(year, month, day);
}

void SumWeekdays(const DateTable& dates, WeekdayTable& week) {
  week = WeekdayTable{};
  for (const DateEntry& date : dates.slots) {
    if (date.hits == 0) continue;
    std::optional<int> weekday = WeekdayOfDateKey(date.key.view());
    if (!weekday) continue;
    WeekdayEntry& day = week.days[*weekday];
    day.hits += date.hits;
    day.dayCount += 1;
    day.byteSum += date.byteSum;
  }
}

void WriteActivityByDate(RunState& state, ReportWriter& out) {
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

void WriteDayOfWeek(RunState& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  WeekdayTable& week = state.tallies.weekdays;

  WriteHeading(out, labels[kDayOfWeekTitle]);
  WriteTableStart(out);
  WriteHeaderRow(out, {labels[kDayOfWeek], labels[kAverageHits], labels[kPercent],
                       "Average K bytes", labels[kGraph]});

  SumWeekdays(state.tallies.dates, week);

  // The percentages are shares of the summed averages, while the bars are
  // scaled by the largest weekday sum, before averaging.
  int64_t averageTotal = 0;
  int64_t largest = 0;
  for (int d = 0; d < 7; ++d) {
    const WeekdayEntry& day = week.days[d];
    if (day.hits > 0) averageTotal += day.hits / day.dayCount;
    largest = std::max(largest, day.hits);
  }
  const float barScale = BarScale(largest, settings.graphWidth);

  for (int d = 0; d < 7; ++d) {
    WeekdayEntry& day = week.days[d];
    if (day.hits <= 0) continue;
    day.hits /= day.dayCount;
    day.byteSum /= day.dayCount;
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

void WriteHourlyLoad(RunState& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const HourTable& hours = state.tallies.hours;

  WriteHeading(out, labels[kHourlyLoad]);
  WriteTableStart(out);
  WriteHeaderRow(out, {labels[kHour], labels[kHits], labels[kKBytes], labels[kPercent],
                       labels[kGraph]});
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
