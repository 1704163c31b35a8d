#include "report/section_rows.h"

#include "report/fixed_format.h"
#include "report/table_pattern.h"

namespace logvane {

LinkTemplate SplitLinkTemplate(std::string_view linkTemplate) {
  size_t at = linkTemplate.find("{user}");
  if (at == std::string_view::npos) at = linkTemplate.find("{USER}");
  if (at == std::string_view::npos) return LinkTemplate{linkTemplate, {}, false};
  return LinkTemplate{linkTemplate.substr(0, at), linkTemplate.substr(at + 6), true};
}

void SectionTable::SetColumns(std::initializer_list<std::pair<Column, std::string_view>> heads) {
  columns.clear();
  headers.clear();
  for (const auto& [column, header] : heads) {
    columns.push_back(column);
    headers.push_back(header);
  }
}

TableRow& SectionTable::AddRow(std::string_view key, int64_t hits) {
  TableRow& row = rows.emplace_back();
  row.key = key;
  row.hits = hits;
  if (HasGraph()) row.barWidth = BarWidth(hits, barScale);
  return row;
}

namespace {

// A key from outside, linked as the row says.
void WriteLinkedKey(ReportWriter& out, const SectionTable& table, const TableRow& row,
                    KeyText form) {
  switch (row.link) {
    case LinkTo::kNone: WriteKeyText(out, row.key, form); return;
    case LinkTo::kKey: WriteLinkToKey(out, row.key, form); return;
    case LinkTo::kWhois:
      out.Write("<a href=\"");
      out.Write(kWhoisServiceBase);
      out.Write("/cgi-bin/whois?");
      WriteEscaped(out, row.linkText);
      out.Write("\">");
      break;
    case LinkTo::kTemplate:
      out.Write(table.userLink.before);
      WriteEscaped(out, row.linkText);
      out.Write(table.userLink.after);
      break;
  }
  // Both user links end in a newline, inside the cell.
  WriteKeyText(out, row.key, form);
  out.Write("</a>\n");
}

}  // namespace

void WriteKeyCell(ReportWriter& out, const SectionTable& table, const TableRow& row,
                  KeyText logKeys) {
  if (table.keys == KeyOrigin::kOwnText) {
    out.Write(row.key);  // never linked
  } else {
    WriteLinkedKey(out, table, row, table.keys == KeyOrigin::kLogKey ? logKeys : KeyText::kPlain);
  }
  if (!row.note.empty()) out.Write(row.note);
}

void WriteCellText(ReportWriter& out, const SectionTable& table, const TableRow& row, Column column,
                   KeyText logKeys) {
  switch (column) {
    case Column::kRank: out.WriteInt(row.rank); break;
    case Column::kCode: out.WriteInt(row.code); break;
    case Column::kKey: WriteKeyCell(out, table, row, logKeys); break;
    case Column::kHits: out.WriteInt(row.hits); break;
    case Column::kKBytes:
    case Column::kAverageKBytes: out.Write(FormatFixed(row.kiloBytes, 0)); break;
    case Column::kPercent: WriteShare(out, row.percent); break;
    case Column::kBytePercent: WriteShare(out, row.bytePercent); break;
    case Column::kText1: WriteEscaped(out, row.texts[0]); break;
    case Column::kText2: WriteEscaped(out, row.texts[1]); break;
    case Column::kVisitors: out.WriteInt(row.visitors); break;
    case Column::kTime50:
    case Column::kTime90:
    case Column::kTime95:
    case Column::kTime99:
    case Column::kTimeLongest:
    case Column::kTimeMean: {
      size_t i = static_cast<size_t>(column) - static_cast<size_t>(Column::kTime50);
      if ((row.atMost >> i) & 1) out.Write("&le; ");
      out.Write(FormatDuration(row.times[i]));
      break;
    }
    case Column::kGraph: break;  // the styles draw bars their own way
  }
}

std::string FormatDuration(double micros) {
  if (micros <= 0) return "0 ms";
  double millis = micros / 1000;
  // Rounding may carry a figure into the next decade: 999.7 ms is "1.00 s".
  if (millis < 0.9995) return FormatFixed(millis, 3) + " ms";
  if (millis < 9.995) return FormatFixed(millis, 2) + " ms";
  if (millis < 99.95) return FormatFixed(millis, 1) + " ms";
  if (millis < 999.5) return FormatFixed(millis, 0) + " ms";
  double seconds = millis / 1000;
  if (seconds < 9.995) return FormatFixed(seconds, 2) + " s";
  if (seconds < 99.95) return FormatFixed(seconds, 1) + " s";
  return FormatFixed(seconds, 0) + " s";
}

}  // namespace logvane
