#include "report/modern_sections.h"

#include "report/modern_table.h"

namespace logvane {

void WriteModernSection(const ReportInput& state, const ReportSection& section, ReportWriter& out) {
  // End tags are left out, as HTML allows, which keeps large tables small.
  // A row whose rank is guaranteed (a table that evicted keys) is marked.
  static constexpr std::string_view kMark = " &#10003;";
  static constexpr RowLayout kLayout{"<td>", "\n", "", KeyText::kBreakable, kMark};
  const SectionRows rows = section.rows(state);
  WriteCardStart(out, section.anchor, rows.heading);
  if (section.modernChart != nullptr) section.modernChart(state, rows, out);
  for (const SectionTable& table : rows.tables) {
    if (&table != &rows.tables.front()) {
      out.Write("<h3>");
      out.Write(table.caption);
      out.Write("</h3>\n");
    }
    const bool keyFirst = !table.columns.empty() && table.columns.front() == Column::kKey;
    WriteModernTableStart(out, keyFirst ? KeyColumn::kFirst : KeyColumn::kSecond, table.HasGraph(),
                          table.headers);
    WriteRows(out, table, kLayout,
              [&](const TableRow& row) { WriteBarCell(out, row.barWidth, row.hits); });
    WriteModernTableEnd(out);
    for (const TotalLine& total : table.totals) WriteModernTotal(out, total.label, total.value);
    if (!table.boundNote.empty()) {
      out.Write("<p class=note>");
      out.Write(table.boundNote);
      out.Write(kMark);
      out.Write(" ");
      out.Write(table.rankMark);
      out.Write("</p>\n");
    }
  }
  WriteCardEnd(
      out, section.backLink ? std::string_view(state.labels[kTopOfReport]) : std::string_view());
}

}  // namespace logvane
