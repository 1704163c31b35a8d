#include "report/modern_report.h"

#include "common/version.h"
#include "report/html_text.h"
#include "report/modern_style.h"
#include "report/modern_table.h"
#include "report/report_outline.h"
#include "report/table_pattern.h"
#include "report/write_report.h"

namespace logvane {

namespace {

// Nothing may be fetched or run: no script, no remote (or local) file of
// any kind; only the page's own stylesheet and style attributes.
constexpr std::string_view kSecurityPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'";

void WriteHead(const ReportInput& state, ReportWriter& out) {
  out.Write("<!DOCTYPE html>\n<html lang=en><head>\n<meta charset=\"utf-8\">\n");
  out.Write("<meta name=viewport content=\"width=device-width,initial-scale=1\">\n");
  out.Write("<meta http-equiv=Content-Security-Policy content=\"");
  out.Write(kSecurityPolicy);
  out.Write("\">\n<meta name=color-scheme content=\"light dark\">\n");
  out.Write("<title>");
  out.Write(state.settings.reportTitle);
  out.Write("</title>\n<style>\n");
  out.Write(ModernStylesheet());
  // Bars are shares of the graph width. One of 0 or less leaves every bar
  // 1 pixel wide in the classic report; against the default width such a
  // bar stays a sliver here too.
  out.Write(":root{--gw:");
  out.WriteInt(state.settings.graphWidth > 0 ? state.settings.graphWidth : 400);
  out.Write("}\n</style>\n</head><body>\n");
}

void WriteFigure(ReportWriter& out, std::string_view label, std::string_view value) {
  out.Write("<div><dt>");
  out.Write(label);
  out.Write("</dt><dd>");
  WriteEscaped(out, value);
  out.Write("</dd></div>");
}

void WriteHeader(const ReportInput& state, ReportWriter& out, Env& env) {
  const ReportLabels& labels = state.labels;
  // The days of the classic summary; the K bytes of all days, as in the
  // total under Activity by Date.
  const LogDays days = FirstAndLastDay(state.tallies.dates);
  double kiloBytes = 0;
  for (const DateEntry& date : state.tallies.dates.slots) {
    if (date.hits > 0) kiloBytes += date.byteSum * 0.001;
  }
  // Every user in use has a hit, so this is the Top Users walk's count.
  const int64_t users = static_cast<int64_t>(state.tallies.users.userCount);

  out.Write("<header id=TOP><h1>");
  out.Write(state.settings.reportTitle);
  out.Write("</h1>\n<dl class=sum>");
  WriteFigure(out, labels[kTotalRecords], std::to_string(state.counters.processedCount));
  WriteFigure(out, labels[kUniqueUsers], std::to_string(users));
  WriteFigure(out, labels[kLogFrom], days.first);
  WriteFigure(out, labels[kThru], days.last);
  WriteFigure(out, labels[kKBytes], FormatFixed(kiloBytes, 0));
  out.Write("</dl>\n<p class=when>");
  out.Write(labels[kReportProduced]);
  out.Write(": ");
  std::string produced = env.LocalTimeText();
  if (!produced.empty() && produced.back() == '\n') produced.pop_back();
  WriteEscaped(out, produced);
  out.Write("</p>\n</header>\n");
}

void WriteNavigation(const ReportInput& state, ReportWriter& out) {
  out.Write("<nav>");
  for (const ReportSection& section : kReportSections) {
    if (!section.on(state)) continue;
    out.Write("<a href=\"#");
    out.Write(section.anchor);
    out.Write("\">");
    out.Write(state.labels[section.navigationLabel]);
    out.Write("</a>");
  }
  out.Write("</nav>\n");
}

void WriteParameters(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  out.Write("<section class=\"card par\"><h2>");
  out.Write(state.labels[kParameters]);
  out.Write("</h2><ul>\n");
  for (const std::string& address : settings.excludedAddresses) {
    out.Write("<li>...excluded address: ");
    WriteEscaped(out, address);
    out.Write("\n");
  }
  for (const std::string& type : settings.excludedTypes) {
    out.Write("<li>...excluded type: ");
    WriteEscaped(out, type);
    out.Write(" from top page report.\n");
  }
  if (settings.hourOffset != 0) {
    out.Write("<li>Offset for hourly activity report: ");
    out.WriteInt(settings.hourOffset);
    out.Write("\n");
  }
  if (!state.nationSource.empty()) {
    // Whose data the nations are; the database's licence asks for it.
    out.Write("<li>GeoIP database: ");
    WriteEscaped(out, state.nationSource);
    out.Write("\n");
  }
  out.Write("<li>reporting host: ");
  WriteEscaped(out, settings.hostName);
  out.Write("\n</ul></section>\n");
}

}  // namespace

void WriteModernReport(const ReportInput& state, ReportWriter& out, Env& env) {
  WriteHead(state, out);
  WriteHeader(state, out, env);
  WriteNavigation(state, out);
  out.Write("<main>\n");
  for (const ReportSection& section : kReportSections) {
    if (!section.on(state)) continue;
    section.modern(state, out);
    WriteCardEnd(
        out, section.backLink ? std::string_view(state.labels[kTopOfReport]) : std::string_view());
  }
  if (state.settings.showParameters) WriteParameters(state, out);
  if (state.tallies.users.userTableFull) {
    out.Write("<p class=note>");
    out.Write(CapacityNote());
    out.Write("</p>\n");
  }
  out.Write("</main>\n<footer><p>powered by the <a href=\"");
  out.Write(kMakerSiteAddress);
  out.Write("\">Quorvel</a> Logvane v");
  out.Write(kVersion);
  out.Write("</p></footer>\n");
  out.Write("</body></html>\n");
}

}  // namespace logvane
