#include "report/write_report.h"

#include <iterator>

#include "common/ascii_text.h"
#include "common/version.h"
#include "report/html_text.h"
#include "report/ranked_sections.h"
#include "report/response_codes.h"
#include "report/time_sections.h"
#include "report/top_nations.h"
#include "report/top_users.h"

namespace logvane {

namespace {

struct Section {
  std::string_view anchor;  // the name of the anchor and of the link to it
  int navigationLabel;
  bool backLink;
  void (*write)(const ReportInput&, ReportWriter&);
  bool (*on)(const ReportInput&);  // whether this run writes the section
};

// The sections in the order they are written.
constexpr Section kSections[] = {
    {"TU", kTopUsers, true, WriteTopUsers,
     [](const ReportInput& in) { return in.settings.showUsers; }},
    {"BD", kActivityByDate, true, WriteActivityByDate,
     [](const ReportInput& in) { return in.settings.showDates; }},
    {"BA", kDayOfWeekTitle, true, WriteDayOfWeek,
     [](const ReportInput& in) { return in.settings.showDays; }},
    {"BH", kHourlyLoad, true, WriteHourlyLoad,
     [](const ReportInput& in) { return in.settings.showHours; }},
    {"TP", kTopPages, true, WriteTopPages,
     [](const ReportInput& in) { return in.settings.showPages; }},
    {"TD", kTopDirectories, true, WriteTopDirectories,
     [](const ReportInput& in) { return in.settings.showDirs; }},
    {"TN", kTopNations, false, WriteTopNations,
     [](const ReportInput& in) { return in.settings.showNations; }},
    {"BC", kResponseCodeTitle, true, WriteResponseCodes,
     [](const ReportInput& in) { return in.settings.showCodes; }},
    {"TE1", kExtra1, false, WriteExtra1,
     [](const ReportInput& in) { return in.counters.hasExtra1; }},
    {"TE2", kExtra2, false, WriteExtra2,
     [](const ReportInput& in) { return in.counters.hasExtra2; }},
};

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

void WriteSummary(const ReportInput& state, ReportWriter& out, const Platform& platform) {
  const ReportLabels& labels = state.labels;
  out.Write("<font size=1><br>");
  out.Write(labels[kReportProduced]);
  out.Write(": ");
  out.Write(platform.localTimeText());
  out.Write("\n");

  // The first and last days in table order: the earliest and latest once
  // the dates are sorted.
  std::string_view firstDate;
  std::string_view lastDate;
  bool found = false;
  for (const DateEntry& date : state.tallies.dates.slots) {
    if (date.hits <= 0) continue;
    if (!found) firstDate = date.key.view();
    lastDate = date.key.view();
    found = true;
  }
  out.Write("<br><font size=1>");
  out.Write(labels[kLogFrom]);
  out.Write(": ");
  WriteEscaped(out, firstDate);
  out.Write(" ");
  out.Write(labels[kThru]);
  out.Write(": ");
  WriteEscaped(out, lastDate);
  out.Write("\n");

  out.Write("<br>");
  out.Write(labels[kTotalRecords]);
  out.Write(": ");
  out.WriteInt(state.counters.processedCount);
  out.Write(" \n</font>");
}

void WriteNavigation(const ReportInput& state, ReportWriter& out) {
  out.Write("<br><font size=2>");
  for (const Section& section : kSections) {
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
  for (const Section& section : kSections) {
    if (!section.on(state)) continue;
    out.Write("<a name=");
    out.Write(section.anchor);
    out.Write(">");
    section.write(state, out);
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
  out.Write("<br>reporting host: ");
  WriteEscaped(out, settings.hostName);
}

}  // namespace

void WriteReport(const ReportInput& state, ReportWriter& out, const Platform& platform) {
  WriteHead(state, out);
  WriteSummary(state, out, platform);
  WriteNavigation(state, out);
  WriteSections(state, out);
  if (state.settings.showParameters) WriteParameters(state, out);
  if (state.tallies.users.userTableFull) {
    out.Write("<hr><font size=1>");
    constexpr ConstText kCapacity = NumberedText("", kUserCapacity, "", true);
    out.Write("Note: Log file had more than ");
    out.Write(kCapacity.view());
    out.Write(" users; only first ");
    out.Write(kCapacity.view());
    out.Write(" reportable.");
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
