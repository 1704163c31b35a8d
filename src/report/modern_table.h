// The pieces the modern report's sections are built from: a card with its
// heading, a table that scrolls inside the card, bar cells drawn with CSS,
// totals lines. The rows are the classic report's (section_rows.h).
#ifndef LOGVANE_REPORT_MODERN_TABLE_H_
#define LOGVANE_REPORT_MODERN_TABLE_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "report/report_writer.h"

namespace logvane {

// How the stylesheet aligns a table's columns: every cell is a right-aligned
// number unless its column holds the key.
enum class KeyColumn {
  kFirst,   // time tables: date, weekday, hour
  kSecond,  // ranked tables: rank, then the key
};

// "<section id=ID class=card><h2>" + heading + "</h2>\n"
void WriteCardStart(ReportWriter& out, std::string_view id, std::string_view heading);
// The back-link (when `topLabel` is not empty) and "</section>\n".
void WriteCardEnd(ReportWriter& out, std::string_view topLabel);

// Opens the scrolling box and the table and writes the header row. A table
// with a graph has the bar as its last column.
void WriteModernTableStart(ReportWriter& out, KeyColumn key, bool graph,
                           std::span<const std::string_view> labels);
void WriteModernTableEnd(ReportWriter& out);

// The last cell of a row: a bar `width` units long of the graph width set
// in the page's stylesheet (the classic width in pixels), with `value` as
// its text for screen readers. Ends the row.
void WriteBarCell(ReportWriter& out, int64_t width, int64_t value);

// "<p class=tot>" + label + ": <b>" + n + "</b></p>\n"
void WriteModernTotal(ReportWriter& out, std::string_view label, std::string_view n);

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_TABLE_H_
