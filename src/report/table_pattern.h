// The pieces every report section is built from: heading, table start,
// header row, graph cell, totals line, the bar-width rule, the number
// formats, and the escaping of texts that come from the log.
#ifndef LOGVANE_REPORT_TABLE_PATTERN_H_
#define LOGVANE_REPORT_TABLE_PATTERN_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "config/run_settings.h"
#include "report/report_writer.h"

namespace logvane {

// `value` with `decimals` places (0 or 1), an exact tie written as the
// result farther from zero.
std::string FormatFixed(double value, int decimals);

// K bytes of a byte sum: the sum times 0.001 with no decimals.
void WriteKBytes(ReportWriter& out, double byteSum);
// value / total * 100 as "%3.1f %%".
void WritePercent(ReportWriter& out, double value, double total);

// The scale of a section's bars, held in single precision.
float BarScale(int64_t largest, int32_t graphWidth);
// The width of one bar: value / scale truncated, at least 1.
int64_t BarWidth(int64_t value, float barScale);

void WriteHeading(ReportWriter& out, std::string_view label);  // <hr><h3>..</h3>
void WriteTableStart(ReportWriter& out);
void WriteHeaderRow(ReportWriter& out, std::initializer_list<std::string_view> labels);
// The last cell of a row: the bar image of the given width, ending the row.
void WriteGraphCell(ReportWriter& out, const RunSettings& settings, int64_t width);
void WriteTableEnd(ReportWriter& out);
// "<br>" + label + ": " + n + " \n"
void WriteTotalLine(ReportWriter& out, std::string_view label, int64_t n);
void WriteSectionEnd(ReportWriter& out);  // "<br>\n"

// A text from the log, the cache or the resolver, made safe as element text
// or inside a quoted attribute.
void WriteEscaped(ReportWriter& out, std::string_view text);
std::string EscapeHtml(std::string_view text);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TABLE_PATTERN_H_
