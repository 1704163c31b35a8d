#include "report/write_report.h"

#include "common/version.h"
#include "report/html_text.h"
#include "report/report_outline.h"

namespace logvane {

namespace {

void WriteHead(const ReportInput& state, ReportWriter& out) {
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
}

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

void WriteNavigation(const ReportInput& state, ReportWriter& out) {
  out.Write("<br><font size=2>");
  for (const ReportSection& section : kReportSections) {
    if (!section.on(state)) continue;
    out.Write("<a href=\"#");
    out.Write(section.anchor);
    out.Write("\">[");
    out.Write(state.labels[section.navigationLabel]);
    out.Write("]</a>");
  }
  out.Write("</font>");
}

void WriteSections(const ReportInput& state, ReportWriter& out) {
  for (const ReportSection& section : kReportSections) {
    if (!section.on(state)) continue;
    out.Write("<a name=");
    out.Write(section.anchor);
    out.Write(">");
    section.classic(state, out);
    if (section.backLink) {
      out.Write("<br><font size=1><a href=\"#TOP\">[");
      out.Write(state.labels[kTopOfReport]);
      out.Write("]</a></font>");
    }
  }
}

void WriteParameters(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  out.Write("</center><hr><br>");
  out.Write(state.labels[kParameters]);
  out.Write(":");
  for (const std::string& address : settings.excludedAddresses) {
    out.Write("<br>...excluded address: ");
    out.Write(address);
    out.Write("\n");
  }
  for (const std::string& type : settings.excludedTypes) {
    out.Write("<br>...excluded type: ");
    out.Write(type);
    out.Write(" from top page report.\n");
  }
  if (settings.hourOffset != 0) {
    out.Write("<br>Offset for hourly activity report: ");
    out.WriteInt(settings.hourOffset);
  }
  if (!state.nationSource.empty()) {
    // Whose data the nations are; the database's licence asks for it.
    out.Write("<br>GeoIP database: ");
    WriteEscaped(out, state.nationSource);
    out.Write("\n");
  }
  out.Write("<br>reporting host: ");
  WriteEscaped(out, settings.hostName);
}

}  // namespace

void WriteReport(const ReportInput& state, ReportWriter& out, Env& env) {
  WriteHead(state, out);
  WriteSummary(state, out, env);
  WriteNavigation(state, out);
  WriteSections(state, out);
  if (state.settings.showParameters) WriteParameters(state, out);
  if (state.tallies.users.userTableFull) {
    out.Write("<hr><font size=1>");
    out.Write(CapacityNote());
    out.Write("</font>\n");
  }
  out.Write("<hr><h5>powered by the ");
  out.Write("<a href=\"");
  out.Write(kMakerSiteAddress);
  out.Write("\">Quorvel</a> Logvane v");
  out.Write(kVersion);
  out.Write("</h5>\n");
  out.Write("</body></html>\n");
}

}  // namespace logvane
