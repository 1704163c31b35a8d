// The classic table pattern's pieces (heading, table start, header row,
// graph cell, totals line) and what both styles' rows share: the ranked
// walk, the bar-width rule and the number formats.
#ifndef LOGVANE_REPORT_TABLE_PATTERN_H_
#define LOGVANE_REPORT_TABLE_PATTERN_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "config/run_settings.h"
#include "report/fixed_format.h"
#include "report/html_text.h"
#include "report/report_writer.h"

namespace logvane {

// K bytes of a byte sum: the sum times 0.001 with no decimals.
void WriteKBytes(ReportWriter& out, double byteSum);
// value / total * 100, in double precision: a share as a percentage.
inline double Percent(double value, double total) { return value / total * 100.0; }
// A percentage as "%3.1f %%".
void WriteShare(ReportWriter& out, double percent);
// Percent(value, total) as "%3.1f %%".
void WritePercent(ReportWriter& out, double value, double total);

// The scale of a section's bars: largest / graphWidth held in single
// precision, so the longest bar is graphWidth or graphWidth - 1 wide.
float BarScale(int64_t largest, int32_t graphWidth);
// The width of one bar: value / scale truncated, at least 1 (also when the
// scale is infinite, negative or not a number).
int64_t BarWidth(int64_t value, float barScale);

void WriteHeading(ReportWriter& out, std::string_view label);  // <hr><h3>..</h3>
void WriteTableStart(ReportWriter& out);
void WriteHeaderRow(ReportWriter& out, std::span<const std::string_view> labels);
inline void WriteHeaderRow(ReportWriter& out, std::initializer_list<std::string_view> labels) {
  WriteHeaderRow(out, std::span<const std::string_view>(labels.begin(), labels.size()));
}
// The last cell of a row: the bar image of the given width, ending the row.
void WriteGraphCell(ReportWriter& out, const RunSettings& settings, int64_t width);
void WriteTableEnd(ReportWriter& out);
// "<br>" + label + ": " + n + " \n"
void WriteTotalLine(ReportWriter& out, std::string_view label, std::string_view n);
void WriteTotalLine(ReportWriter& out, std::string_view label, int64_t n);
void WriteSectionEnd(ReportWriter& out);  // "<br>\n"

// The hits of the first `count` slots added in slot order, each converted
// to a 32-bit float: the percentage total of most sections. Slots beyond
// those in use hold 0 hits, and adding 0 leaves a float sum as it is, so
// the slots in use give the whole table's sum without reading every page.
template <typename Entry>
float FloatHitSum(const Entry* slots, size_t count) {
  float total = 0;
  for (size_t i = 0; i < count; ++i) total += static_cast<float>(slots[i].hits);
  return total;
}

// The same over every slot.
template <typename Entry, size_t N>
float FloatHitSum(const Entry (&slots)[N]) {
  return FloatHitSum(slots, N);
}

// The ranked walk over a table sorted by descending hits: from the first
// slot while hits > 0, numbering the entries 1, 2, 3 ...; `row(entry, rank)`
// is called for the ranks up to `limit`. Returns the number of entries
// visited, the section's unique total.
template <typename Entry, size_t N, typename Row>
int64_t RankedWalk(const Entry (&slots)[N], int64_t limit, Row&& row) {
  int64_t rank = 0;
  for (const Entry& entry : slots) {
    if (entry.hits <= 0) break;
    ++rank;
    if (rank <= limit) row(entry, rank);
  }
  return rank;
}

}  // namespace logvane

#endif  // LOGVANE_REPORT_TABLE_PATTERN_H_
