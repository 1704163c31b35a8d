#include "report/write_report.h"

#include <gtest/gtest.h>

#include <string>

#include "common/version.h"
#include "config/parameter_file.h"
#include "report/top_nations.h"
#include "support/markup_check.h"
#include "support/report_fixture.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::AddKey;
using testing::AddUser;
using testing::Classic;
using testing::ReadFile;
using testing::Render;
using testing::ReportState;
using testing::SetDate;
using testing::SetHour;

std::string Report(ReportInput& state) {
  FaultEnv platform;
  return Render(state,
                [&](const ReportInput& s, ReportWriter& out) { WriteReport(s, out, platform); });
}

// The Top Nations section on its own, rendered from a twin of the state, so
// the frame's tests do not depend on how nations are classified.
template <typename Build>
std::string NationsOf(Build build) {
  std::unique_ptr<ReportInput> twin = build();
  return Render(*twin, Classic(NationRows));
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// A small run as the sorting phase leaves it: ranked tables by descending
// hits, days and hours ascending behind their empty slots.
std::unique_ptr<ReportInput> KnownState() {
  std::unique_ptr<ReportInput> state = ReportState();
  RunSettings& s = state->settings;
  s.reportTitle = "Weekly Stats";
  s.excludedAddresses = {"10.0.0."};
  s.excludedTypes = {".gif"};
  s.hourOffset = -5;
  s.maxPages = 2;
  s.barImageLocation = "/img";
  state->counters.processedCount = 11;
  state->counters.pagesRequested = 7;
  state->counters.hasExtra1 = true;
  state->counters.hasExtra2 = true;

  Tallies& t = state->tallies;
  AddUser(t.users, "www.example.com", 6, 2500, true);
  AddUser(t.users, "10.1.2.3", 3, 700);
  AddUser(t.users, "mail.isp.co.uk", 1, 1499);
  SetDate(t.dates, 497, "05/Oct/1998", 4, 3000);
  SetDate(t.dates, 498, "06/Oct/1998", 5, 1250);
  SetDate(t.dates, 499, "12/Oct/1998", 1, 500);
  SetHour(t.hours, 22, 8, 3, 1000);
  SetHour(t.hours, 23, 9, 6, 4499);
  SetHour(t.hours, 24, 17, 1, 1);
  AddKey(t.pages, "/index.html", 5);
  AddKey(t.pages, "/search?q=a&b", 3);
  AddKey(t.pages, "/about.html", 2);
  AddKey(t.directories, "/", 7);
  AddKey(t.directories, "/docs", 3);
  t.codes.counts[0] = 1;
  t.codes.counts[1] = 6;   // 200
  t.codes.counts[6] = 1;   // 304
  t.codes.counts[10] = 2;  // 404
  AddKey(t.notFound, "/missing.html", 1);
  AddKey(t.notFound, "/old<page>", 1);
  AddKey(t.extra1, "Mozilla/4.0 (compatible)", 6);
  AddKey(t.extra1, "Lynx", 4);
  AddKey(t.extra2, "http://www.ref.com/page", 5);
  AddKey(t.extra2, "-", 3);
  AddKey(t.extra2, "HTTP://UP.CASE/", 2);
  return state;
}

TEST(WriteReportTest, KnownStateGivesTheExpectedDocument) {
  std::string expected = ReadFile(LOGVANE_SOURCE_DIR "/src/report/testdata/known_report.html");
  ASSERT_FALSE(expected.empty());
  Replace(expected, "@TOP NATIONS@", NationsOf(KnownState));
  std::unique_ptr<ReportInput> state = KnownState();
  EXPECT_EQ(Report(*state), expected);
}

// The head, summary and navigation every report starts with.
std::string Head(const std::string& dates, int64_t processed, const std::string& links) {
  return "<html><head>\n<title>Logvane Report</title>\n</head><body bgcolor=#f0f0f0>\n"
         "<a name=TOP><center>\n<h2>Logvane Report</h2>\n"
         "<font size=1><br>Report Produced: Thu Oct  8 13:55:36 1998\n\n"
         "<br><font size=1>Log From: " +
         dates +
         "\n"
         "<br>Total Records(Hits) Processed: " +
         std::to_string(processed) +
         " \n</font>"
         "<br><font size=2>" +
         links + "</font>";
}

const std::string kFooter =
    "<hr><h5>powered by the <a href=\"https://www.quorvel.com/logvane/\">Quorvel</a> "
    "Logvane v" +
    std::string(kVersion) + "</h5>\n</body></html>\n";

void AllSectionsOff(RunSettings& s) {
  s.showUsers = s.showDates = s.showDays = s.showHours = false;
  s.showPages = s.showDirs = s.showNations = s.showCodes = false;
}

TEST(WriteReportTest, AllSwitchesOffLeavesOnlyTheFrame) {
  std::unique_ptr<ReportInput> state = ReportState();
  AllSectionsOff(state->settings);
  SetDate(state->tallies.dates, 0, "02/Jan/2000", 3);
  state->counters.processedCount = 3;
  EXPECT_EQ(Report(*state), Head("02/Jan/2000 Thru: 02/Jan/2000", 3, "") +
                                "</center><hr><br>Parameters:<br>reporting host: testhost" +
                                kFooter);
}

TEST(WriteReportTest, NoShowDropsTheParametersAndLeavesTheCenterOpen) {
  std::unique_ptr<ReportInput> state = ReportState();
  AllSectionsOff(state->settings);
  state->settings.showParameters = false;
  state->settings.excludedAddresses = {"10."};
  EXPECT_EQ(Report(*state), Head(" Thru: ", 0, "") + kFooter);
}

TEST(WriteReportTest, EmptyLogWritesEveryEmptySection) {
  std::unique_ptr<ReportInput> state = ReportState();
  const std::string backLink = "<br><font size=1><a href=\"#TOP\">[top of report]</a></font>";
  const std::string start = "<table border=5>\n ";
  const std::string expected =
      Head(" Thru: ", 0,
           "<a href=\"#TU\">[Top Users]</a><a href=\"#BD\">[Activity by Date]</a>"
           "<a href=\"#BA\">[Average Activity by Day of Week]</a>"
           "<a href=\"#BH\">[Hourly Activity Load]</a><a href=\"#TP\">[Top Pages]</a>"
           "<a href=\"#TD\">[Top Directories]</a><a href=\"#TN\">[Top Nations]</a>"
           "<a href=\"#BC\">[Analysis by Server Response Code]</a>") +
      "<a name=TU><hr><h3>Top Users</h3>\n" + start +
      "<tr><th>Rank</th><th>User</th><th>Hits</th><th>K bytes</th><th>Graph</th></tr>"
      "</table>\n<br>Unique Users Found: 0 \n<br>Total Pages Requested: 0 \n<br>\n" +
      backLink + "<a name=BD><hr><h3>Activity by Date</h3>\n" + start +
      "<tr><th>Date</th><th>Hits</th><th>K bytes</th><th>Graph</th></tr>"
      "</table>\n<br>Total Days in Log: 0 \n<br>K bytes: 0 \n<br>\n" +
      backLink + "<a name=BA><hr><h3>Average Activity by Day of Week</h3>\n" + start +
      "<tr><th>Day of Week</th><th>Average Hits</th><th>Percent</th><th>Average K bytes</th>"
      "<th>Graph</th></tr></table>\n<br>\n" +
      backLink + "<a name=BH><hr><h3>Hourly Activity Load</h3>\n" + start +
      "<tr><th>Hour</th><th>Hits</th><th>K bytes</th><th>Percent</th><th>Graph</th></tr>"
      "</table>\n<br>\n" +
      backLink + "<a name=TP><hr><h3>Top Pages</h3>\n" + start +
      "<tr><th>Rank</th><th>Page</th><th>Hits</th><th>Percent</th><th>Graph</th></tr>"
      "</table>\n<br>Total Unique Pages: 0 \n<br>\n" +
      backLink + "<a name=TD><hr><h3>Top Directories</h3>\n" + start +
      "<tr><th>Rank</th><th>Directory</th><th>Hits</th><th>Percent</th><th>Graph</th></tr>"
      "</table>\n<br>Total Unique Directories: 0 \n<br>\n" +
      backLink + "<a name=TN>" + NationsOf(ReportState) +
      "<a name=BC><hr>\n<h4>Analysis by Server Response Code</h4>\n" + start +
      "<tr><th>Code</th><th>Description</th><th>Hits</th><th>Percent</th></tr></table>\n"
      "<h4>Top Documents Not Found</h4>\n" +
      start +
      "<tr><th>Rank</th><th>Directory</th><th>Hits</th><th>Percent</th><th>Graph</th></tr>"
      "</table>\n<br>\n" +
      backLink + "</center><hr><br>Parameters:<br>reporting host: testhost" + kFooter;
  EXPECT_EQ(Report(*state), expected);
}

TEST(WriteReportTest, UnsortedDatesGiveFirstAndLastInTableOrder) {
  std::unique_ptr<ReportInput> state = ReportState();
  AllSectionsOff(state->settings);
  SetDate(state->tallies.dates, 0, "09/Mar/2001", 1);
  SetDate(state->tallies.dates, 1, "01/Mar/2001", 1);
  SetDate(state->tallies.dates, 3, "05/Mar/2001", 1);  // behind an empty slot
  EXPECT_NE(Report(*state).find("Log From: 09/Mar/2001 Thru: 05/Mar/2001\n"), std::string::npos);
}

TEST(WriteReportTest, OffsetLineAndCapacityNote) {
  std::unique_ptr<ReportInput> state = ReportState();
  AllSectionsOff(state->settings);
  state->settings.hourOffset = 3;
  state->tallies.users.ranFull = true;
  EXPECT_EQ(Report(*state),
            Head(" Thru: ", 0, "") +
                "</center><hr><br>Parameters:<br>Offset for hourly activity report: 3"
                "<br>reporting host: testhost"
                "<hr><font size=1>Note: Log file had more than 50,000 users; only first 50,000 "
                "reportable.</font>\n" +
                kFooter);
}

TEST(WriteReportTest, ProxyLabelsNameTheSections) {
  std::unique_ptr<ReportInput> state = ReportState();
  std::string echo;
  Console console(&echo);
  ASSERT_TRUE(ReadParameterFile("PROXY=ON\n", state->settings, state->labels, console, {}));
  AddKey(state->tallies.pages, "www.example.org", 2);
  AddKey(state->tallies.directories, "GET", 2);
  AddKey(state->tallies.notFound, "www.gone.org", 1);
  state->tallies.codes.counts[10] = 1;
  std::string report = Report(*state);
  for (const char* fragment : {
           "<a href=\"#TP\">[Top Domains]</a><a href=\"#TD\">[Top Access Methods]</a>",
           "<a name=TP><hr><h3>Top Domains</h3>\n<table border=5>\n "
           "<tr><th>Rank</th><th>Domain</th><th>Hits</th>",
           "<br>Total Unique Pages: 1 \n",
           "<a name=TD><hr><h3>Top Access Methods</h3>\n<table border=5>\n "
           "<tr><th>Rank</th><th>Method</th><th>Hits</th>",
           "<br>Total Access Methods       : 1 \n",
           "<h4>Top Documents Not Found</h4>\n<table border=5>\n "
           "<tr><th>Rank</th><th>Method</th>",
       }) {
    EXPECT_NE(report.find(fragment), std::string::npos) << fragment;
  }
}

void ExpectOnlyOwnMarkup(const std::string& html) {
  testing::MarkupFinding finding = testing::CheckOwnMarkup(html);
  EXPECT_EQ(finding.problem, "");
  EXPECT_GT(finding.tags, 100);
}

std::unique_ptr<ReportInput> HostileState() {
  using namespace std::string_literals;
  std::unique_ptr<ReportInput> state = ReportState();
  state->settings.hostName = "<hr onclick=x>\"h";
  state->counters.hasExtra1 = true;
  state->counters.hasExtra2 = true;
  Tallies& t = state->tallies;
  AddUser(t.users, "\"><script>alert(1)</script>.evil.com", 9, 1, true);
  AddUser(t.users, "javascript:alert(1)//.x.com", 8);
  AddUser(t.users, "<b onmouseover=x>.net", 7);
  AddUser(t.users, "nul\0<i>.org"s, 6);
  SetDate(t.dates, 498, "<b>/Jan/199", 2);
  SetDate(t.dates, 499, "1\"/Feb/<i>", 2);
  SetHour(t.hours, 24, 1, 2);
  t.hours.slots[24].key.assign("<i");
  const std::string keys[] = {
      "javascript:alert(1)",
      " \tJaVa\nScRiPt:alert(1)",
      "data:text/html,<script>alert(1)</script>",
      "vbscript:msgbox(1)",
      "/\"><img src=x onerror=alert(1)>",
      "/a&b\"c",
      "nul\0byte"s,
      "http://x/\"onmouseover=\"alert(1)",
      "HTTP://y/<script>",
  };
  int64_t hits = 20;
  for (const std::string& key : keys) {
    AddKey(t.pages, key, hits);
    AddKey(t.directories, key, hits);
    AddKey(t.notFound, key, hits);
    AddKey(t.extra1, key, hits);
    AddKey(t.extra2, key, hits);
    --hits;
  }
  t.codes.counts[10] = 200;
  return state;
}

TEST(WriteReportTest, NoLogTextBecomesMarkup) {
  std::unique_ptr<ReportInput> state = HostileState();
  std::string report = Report(*state);
  ExpectOnlyOwnMarkup(report);
  EXPECT_NE(report.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(report.find("nul&#xFFFD;byte"), std::string::npos);
  EXPECT_NE(report.find("reporting host: &lt;hr onclick=x&gt;&quot;h"), std::string::npos);

  // Through the operator's template the users stay text as well.
  std::unique_ptr<ReportInput> templated = HostileState();
  templated->settings.userLinkTemplate = "<a href=\"{user}\">";
  std::string viaTemplate = Report(*templated);
  ExpectOnlyOwnMarkup(viaTemplate);
  EXPECT_NE(viaTemplate.find("<td>javascript:alert(1)//.x.com</td>"), std::string::npos);
}

}  // namespace
}  // namespace logvane
