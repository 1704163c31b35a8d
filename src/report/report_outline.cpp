#include "report/report_outline.h"

#include "common/ascii_text.h"
#include "common/version.h"
#include "report/agent_sections.h"
#include "report/classic_section.h"
#include "report/fixed_captions.h"
#include "report/html_text.h"
#include "report/modern_hour_chart.h"
#include "report/modern_report.h"
#include "report/modern_sections.h"
#include "report/ranked_sections.h"
#include "report/modern_times_chart.h"
#include "report/response_codes.h"
#include "report/response_time_section.h"
#include "report/time_sections.h"
#include "report/top_nations.h"
#include "report/top_users.h"
#include "report/write_report.h"

namespace logvane {

const ReportSection kReportSections[kReportSectionCount] = {
    {"TU", kTopUsers, true, [](const ReportInput& in) { return in.settings.showUsers; },
     TopUserRows, nullptr},
    {"BD", kActivityByDate, true, [](const ReportInput& in) { return in.settings.showDates; },
     DateRows, nullptr},
    {"BA", kDayOfWeekTitle, true, [](const ReportInput& in) { return in.settings.showDays; },
     WeekdayRows, nullptr},
    {"BH", kHourlyLoad, true, [](const ReportInput& in) { return in.settings.showHours; }, HourRows,
     WriteHourChart},
    {"TP", kTopPages, true, [](const ReportInput& in) { return in.settings.showPages; }, PageRows,
     nullptr},
    {"TD", kTopDirectories, true, [](const ReportInput& in) { return in.settings.showDirs; },
     DirectoryRows, nullptr},
    {"TN", kTopNations, false, [](const ReportInput& in) { return in.settings.showNations; },
     NationRows, nullptr},
    {"BC", kResponseCodeTitle, true, [](const ReportInput& in) { return in.settings.showCodes; },
     ResponseCodeRows, nullptr},
    {"RT", kResponseTimes, true, HasResponseTimes, ResponseTimeRows, WriteTimesChart},
    {"TE1", kExtra1, false, [](const ReportInput& in) { return in.counters.hasExtra1; }, Extra1Rows,
     nullptr},
    {"TE2", kExtra2, false, [](const ReportInput& in) { return in.counters.hasExtra2; }, Extra2Rows,
     nullptr},
    {"TB", kBrowsers, true, BrowsersOn, BrowserRows, nullptr},
    {"TO", kOperatingSystems, true, SystemsOn, SystemRows, nullptr},
    {"TC", kCrawlersAndAgents, true, CrawlersOn, CrawlerRows, WriteVisitorShares},
};

LogDays FirstAndLastDay(const DateTable& dates) {
  LogDays days;
  bool found = false;
  for (const DateEntry& date : dates.slots) {
    if (date.hits <= 0) continue;
    if (!found) days.first = date.key.view();
    days.last = date.key.view();
    found = true;
  }
  return days;
}

std::vector<ParameterLine> ParameterLines(const ReportInput& state) {
  const RunSettings& settings = state.settings;
  std::vector<ParameterLine> lines;
  for (const std::string& address : settings.excludedAddresses) {
    lines.push_back({kExcludedAddressCaption, address, "", true, true});
  }
  for (const std::string& type : settings.excludedTypes) {
    lines.push_back({kExcludedTypeCaption, type, kExcludedTypeTail, true, true});
  }
  if (settings.hourOffset != 0) {
    lines.push_back({kHourOffsetCaption, std::to_string(settings.hourOffset), "", false, false});
  }
  if (DateRangeOn(settings)) {
    std::string range;
    if (!settings.dateRange.until.set) {
      range = settings.fromText + " on";
    } else if (!settings.dateRange.from.set) {
      range = "up to " + settings.untilText;
    } else {
      range = settings.fromText + " to " + settings.untilText;
    }
    lines.push_back({kDateRangeCaption, range, "", true, true});
  }
  if (!state.nationSource.empty()) {
    // Whose data the nations are; the database's licence asks for it.
    lines.push_back({kGeoipCaption, state.nationSource, "", false, true});
  }
  lines.push_back({kReportingHostCaption, settings.hostName, "", false, false});
  return lines;
}

std::string CapacityNote() {
  constexpr ConstText kCapacity = NumberedText("", kUserCapacity, "", true);
  const std::string capacity(kCapacity.view());
  return "Note: Log file had more than " + capacity + " users; only first " + capacity +
         " reportable.";
}

namespace {

// How a style writes the parameters block: `open`, the "Parameters" label,
// `afterLabel`, each line after `lineStart`, then `close`. The classic style
// writes the operator's texts as they stand and ends only the lines marked
// so; the modern one escapes every value and ends every line.
struct ParameterLayout {
  std::string_view open;
  std::string_view afterLabel;
  std::string_view lineStart;
  bool escapeEveryValue;
  bool endEveryLine;
  std::string_view close;
};

void WriteParameterBlock(const ReportInput& state, ReportWriter& out,
                         const ParameterLayout& layout) {
  out.Write(layout.open);
  out.Write(state.labels[kParameters]);
  out.Write(layout.afterLabel);
  for (const ParameterLine& line : ParameterLines(state)) {
    out.Write(layout.lineStart);
    out.Write(line.caption);
    if (line.fromParameterFile && !layout.escapeEveryValue) {
      out.Write(line.value);
    } else {
      WriteEscaped(out, line.value);
    }
    out.Write(line.tail);
    if (line.lineEnd || layout.endEveryLine) out.Write("\n");
  }
  out.Write(layout.close);
}

// How a style writes the document around the sections' tables. Both
// styles write its parts in this order: the head and summary; the
// navigation, a link "<a href=\"#" + anchor + "\">" + linkOpen + label +
// linkClose + "</a>" for each section that is on; each such section; the
// parameters block (unless NOSHOW); the capacity note when the user table
// ran full; the footer.
struct DocumentLayout {
  void (*head)(const ReportInput&, ReportWriter&, Env&);
  std::string_view navigationOpen;
  std::string_view linkOpen;
  std::string_view linkClose;
  std::string_view navigationClose;
  void (*section)(const ReportInput&, const ReportSection&, ReportWriter&);
  ParameterLayout parameters;
  std::string_view noteOpen;
  std::string_view noteClose;
  std::string_view footerOpen;
  std::string_view footerClose;
};

// The classic parameters block closes the <center> that its head opened.
constexpr DocumentLayout kClassicLayout{
    .head = WriteClassicHead,
    .navigationOpen = "<br><font size=2>",
    .linkOpen = "[",
    .linkClose = "]",
    .navigationClose = "</font>",
    .section = WriteClassicSection,
    .parameters = {.open = "</center><hr><br>",
                   .afterLabel = ":",
                   .lineStart = "<br>",
                   .escapeEveryValue = false,
                   .endEveryLine = false,
                   .close = ""},
    .noteOpen = "<hr><font size=1>",
    .noteClose = "</font>\n",
    .footerOpen = "<hr><h5>",
    .footerClose = "</h5>\n",
};

// The modern navigation opens the <main> that its footer closes.
constexpr DocumentLayout kModernLayout{
    .head = WriteModernHead,
    .navigationOpen = "<nav>",
    .linkOpen = "",
    .linkClose = "",
    .navigationClose = "</nav>\n<main>\n",
    .section = WriteModernSection,
    .parameters = {.open = "<section class=\"card par\"><h2>",
                   .afterLabel = "</h2><ul>\n",
                   .lineStart = "<li>",
                   .escapeEveryValue = true,
                   .endEveryLine = true,
                   .close = "</ul></section>\n"},
    .noteOpen = "<p class=note>",
    .noteClose = "</p>\n",
    .footerOpen = "</main>\n<footer><p>",
    .footerClose = "</p></footer>\n",
};

}  // namespace

void WriteDocument(const ReportInput& state, ReportWriter& out, Env& env, ReportStyle style) {
  const DocumentLayout& layout = style == ReportStyle::kModern ? kModernLayout : kClassicLayout;
  layout.head(state, out, env);
  out.Write(layout.navigationOpen);
  for (const ReportSection& section : kReportSections) {
    if (!section.on(state)) continue;
    out.Write("<a href=\"#");
    out.Write(section.anchor);
    out.Write("\">");
    out.Write(layout.linkOpen);
    out.Write(state.labels[section.navigationLabel]);
    out.Write(layout.linkClose);
    out.Write("</a>");
  }
  out.Write(layout.navigationClose);
  for (const ReportSection& section : kReportSections) {
    if (section.on(state)) layout.section(state, section, out);
  }
  if (state.settings.showParameters) WriteParameterBlock(state, out, layout.parameters);
  if (state.tallies.users.ranFull) {
    out.Write(layout.noteOpen);
    out.Write(CapacityNote());
    out.Write(layout.noteClose);
  }
  out.Write(layout.footerOpen);
  out.Write(kPoweredBy);
  out.Write("<a href=\"");
  out.Write(kMakerSiteAddress);
  out.Write("\">Quorvel</a> Logvane v");
  out.Write(kVersion);
  out.Write(layout.footerClose);
  out.Write("</body></html>\n");
}

}  // namespace logvane
