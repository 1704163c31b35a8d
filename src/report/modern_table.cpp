#include "report/modern_table.h"

namespace logvane {

void WriteCardStart(ReportWriter& out, std::string_view id, std::string_view heading) {
  out.Write("<section id=");
  out.Write(id);
  out.Write(" class=card><h2>");
  out.Write(heading);
  out.Write("</h2>\n");
}

void WriteCardEnd(ReportWriter& out, std::string_view topLabel) {
  if (!topLabel.empty()) {
    out.Write("<a class=top href=\"#TOP\">");
    out.Write(topLabel);
    out.Write("</a>");
  }
  out.Write("</section>\n");
}

void WriteModernTableStart(ReportWriter& out, KeyColumn key, bool graph,
                           std::span<const std::string_view> labels) {
  out.Write("<div class=tw><table class=\"");
  out.Write(key == KeyColumn::kFirst ? "k1" : "k2");
  if (graph) out.Write(" g");
  out.Write("\"><thead><tr>");
  for (std::string_view label : labels) {
    out.Write("<th>");
    out.Write(label);
  }
  out.Write("</thead><tbody>\n");
}

void WriteModernTableEnd(ReportWriter& out) { out.Write("</tbody></table></div>\n"); }

void WriteBarCell(ReportWriter& out, int64_t width, int64_t value) {
  out.Write("<td><i role=img aria-label=");
  out.WriteInt(value);
  out.Write(" style=--w:");
  out.WriteInt(width);
  out.Write("></i>\n");
}

void WriteModernTotal(ReportWriter& out, std::string_view label, std::string_view n) {
  out.Write("<p class=tot>");
  out.Write(label);
  out.Write(": <b>");
  out.Write(n);
  out.Write("</b></p>\n");
}

}  // namespace logvane
