#include "report/write_report.h"

#include "report/classic_section.h"
#include "report/html_text.h"
#include "report/report_outline.h"

namespace logvane {

namespace {

void WriteSummary(const ReportInput& state, ReportWriter& out, Env& env) {
  const ReportLabels& labels = state.labels;
  out.Write("<font size=1><br>");
  out.Write(labels[kReportProduced]);
  out.Write(": ");
  out.Write(env.LocalTimeText());
  out.Write("\n");

  const LogDays days = FirstAndLastDay(state.tallies.dates);
  out.Write("<br><font size=1>");
  out.Write(labels[kLogFrom]);
  out.Write(": ");
  WriteEscaped(out, days.first);
  out.Write(" ");
  out.Write(labels[kThru]);
  out.Write(": ");
  WriteEscaped(out, days.last);
  out.Write("\n");

  out.Write("<br>");
  out.Write(labels[kTotalRecords]);
  out.Write(": ");
  out.WriteInt(state.counters.processedCount);
  out.Write(" \n</font>");
}

}  // namespace

void WriteClassicHead(const ReportInput& state, ReportWriter& out, Env& env) {
  const std::string& title = state.settings.reportTitle;
  out.Write("<html><head>\n");
  out.Write("<title>");
  out.Write(title);
  out.Write("</title>\n");
  out.Write("</head><body bgcolor=#f0f0f0>\n");
  out.Write("<a name=TOP>");
  out.Write("<center>\n<h2>");
  out.Write(title);
  out.Write("</h2>\n");
  WriteSummary(state, out, env);
}

void WriteReport(const ReportInput& state, ReportWriter& out, Env& env) {
  WriteDocument(state, out, env, ReportStyle::kClassic);
}

}  // namespace logvane
