#include "report/modern_report.h"

#include "report/fixed_format.h"
#include "report/html_text.h"
#include "report/modern_sections.h"
#include "report/modern_style.h"
#include "report/report_outline.h"
#include "report/time_sections.h"

namespace logvane {

namespace {

// Nothing may be fetched or run: no script, no remote (or local) file of
// any kind; only the page's own stylesheet and style attributes.
constexpr std::string_view kSecurityPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'";

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
  // Every user in use has a hit, so this is the Top Users walk's count.
  const int64_t users = static_cast<int64_t>(state.tallies.users.used);

  out.Write("<header id=TOP><h1>");
  out.Write(state.settings.reportTitle);
  out.Write("</h1>\n<dl class=sum>");
  WriteFigure(out, labels[kTotalRecords], std::to_string(state.counters.processedCount));
  WriteFigure(out, labels[kUniqueUsers], std::to_string(users));
  WriteFigure(out, labels[kLogFrom], days.first);
  WriteFigure(out, labels[kThru], days.last);
  WriteFigure(out, labels[kKBytes], FormatFixed(LogKiloBytes(state.tallies.dates), 0));
  out.Write("</dl>\n<p class=when>");
  out.Write(labels[kReportProduced]);
  out.Write(": ");
  std::string produced = env.LocalTimeText();
  if (!produced.empty() && produced.back() == '\n') produced.pop_back();
  WriteEscaped(out, produced);
  out.Write("</p>\n</header>\n");
}

}  // namespace

void WriteModernHead(const ReportInput& state, ReportWriter& out, Env& env) {
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
  WriteHeader(state, out, env);
}

void WriteModernReport(const ReportInput& state, ReportWriter& out, Env& env) {
  WriteDocument(state, out, env, ReportStyle::kModern);
}

}  // namespace logvane
