#include "report/classic_section.h"

#include "report/table_pattern.h"

namespace logvane {

void WriteClassicTables(const SectionRows& section, const RunSettings& settings,
                        ReportWriter& out) {
  // The old layout wrote a blank after the average K bytes.
  static constexpr RowLayout kLayout{"</td><td>", "</td></tr>\n", " ", KeyText::kPlain};
  const bool several = section.tables.size() > 1;
  if (several) out.Write("<hr>\n");
  for (const SectionTable& table : section.tables) {
    const std::string_view heading =
        &table == &section.tables.front() ? section.heading : table.caption;
    if (several) {
      out.Write("<h4>");
      out.Write(heading);
      out.Write("</h4>\n");
    } else {
      WriteHeading(out, heading);
    }
    WriteTableStart(out);
    WriteHeaderRow(out, table.headers);
    WriteRows(out, table, kLayout,
              [&](const TableRow& row) { WriteGraphCell(out, settings, row.barWidth); });
    WriteTableEnd(out);
    for (const TotalLine& total : table.totals) WriteTotalLine(out, total.label, total.value);
    if (!table.boundNote.empty()) {
      out.Write("<br><font size=1>");
      out.Write(table.boundNote);
      out.Write("</font>\n");
    }
  }
  WriteSectionEnd(out);
}

void WriteClassicSection(const ReportInput& state, const ReportSection& section,
                         ReportWriter& out) {
  out.Write("<a name=");
  out.Write(section.anchor);
  out.Write(">");
  WriteClassicTables(section.rows(state), state.settings, out);
  if (section.backLink) {
    out.Write("<br><font size=1><a href=\"#TOP\">[");
    out.Write(state.labels[kTopOfReport]);
    out.Write("]</a></font>");
  }
}

}  // namespace logvane
