#include "report/table_pattern.h"

namespace logvane {

void WriteKBytes(ReportWriter& out, double byteSum) { out.Write(FormatFixed(byteSum * 0.001, 0)); }

void WriteShare(ReportWriter& out, double percent) {
  std::string text = FormatFixed(percent, 1);
  while (text.size() < 3) text.insert(text.begin(), ' ');
  out.Write(text);
  out.Write(" %");
}

void WritePercent(ReportWriter& out, double value, double total) {
  WriteShare(out, Percent(value, total));
}

float BarScale(int64_t largest, int32_t graphWidth) {
  return static_cast<float>(static_cast<double>(largest) / static_cast<double>(graphWidth));
}

int64_t BarWidth(int64_t value, float barScale) {
  double width = static_cast<double>(value) / static_cast<double>(barScale);
  if (!(width >= 1.0)) return 1;
  if (width > 1e15) return static_cast<int64_t>(1e15);
  return static_cast<int64_t>(width);
}

void WriteHeading(ReportWriter& out, std::string_view label) {
  out.Write("<hr><h3>");
  out.Write(label);
  out.Write("</h3>\n");
}

void WriteTableStart(ReportWriter& out) { out.Write("<table border=5>\n "); }

void WriteHeaderRow(ReportWriter& out, std::span<const std::string_view> labels) {
  bool first = true;
  for (std::string_view label : labels) {
    out.Write(first ? "<tr><th>" : "</th><th>");
    out.Write(label);
    first = false;
  }
  out.Write("</th></tr>");
}

void WriteGraphCell(ReportWriter& out, const RunSettings& settings, int64_t width) {
  out.Write("</td><td><img src=\"");
  out.Write(settings.barImageLocation);
  out.Write("/hstb.gif\" width=");
  out.WriteInt(width);
  out.Write(" height=20>");
  out.Write("</td></tr>\n");
}

void WriteTableEnd(ReportWriter& out) { out.Write("</table>\n"); }

void WriteTotalLine(ReportWriter& out, std::string_view label, std::string_view n) {
  out.Write("<br>");
  out.Write(label);
  out.Write(": ");
  out.Write(n);
  out.Write(" \n");
}

void WriteTotalLine(ReportWriter& out, std::string_view label, int64_t n) {
  WriteTotalLine(out, label, std::to_string(n));
}

void WriteSectionEnd(ReportWriter& out) { out.Write("<br>\n"); }

}  // namespace logvane
