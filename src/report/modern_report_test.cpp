#include "report/modern_report.h"

#include <gtest/gtest.h>

#include <string>

#include "report/modern_sections.h"
#include "report/write_report.h"
#include "support/markup_check.h"
#include "support/report_fixture.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::AddKey;
using testing::AddUser;
using testing::Modern;
using testing::Render;
using testing::ReportState;
using testing::SetDate;
using testing::SetHour;

std::string Page(ReportInput& state) {
  FaultEnv platform;
  return Render(state, [&](const ReportInput& in, ReportWriter& out) {
    WriteModernReport(in, out, platform);
  });
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::unique_ptr<ReportInput> SmallRun() {
  std::unique_ptr<ReportInput> state = ReportState();
  Tallies& t = state->tallies;
  AddUser(t.users, "www.example.com", 5, 2500);
  AddUser(t.users, "10.0.0.9", 1, 700, true);
  SetDate(t.dates, kDateCapacity - 1, "07/Dec/2026", 6, 3200);
  SetHour(t.hours, 23, 8, 1, 100);
  SetHour(t.hours, 24, 13, 5, 3100);
  AddKey(t.pages, "/index.html", 6);
  CountResponseCode(t.codes, 200);
  state->counters.processedCount = 6;
  return state;
}

TEST(ModernReport, OneSelfContainedPageWithoutScript) {
  std::unique_ptr<ReportInput> state = SmallRun();
  std::string page = Page(*state);
  EXPECT_TRUE(
      page.starts_with("<!DOCTYPE html>\n<html lang=en><head>\n<meta charset=\"utf-8\">\n"));
  EXPECT_NE(page.find("<meta name=viewport content=\"width=device-width,initial-scale=1\">"),
            std::string::npos);
  EXPECT_NE(page.find("<meta http-equiv=Content-Security-Policy content=\"default-src 'none';"),
            std::string::npos);
  EXPECT_TRUE(page.ends_with("</footer>\n</body></html>\n"));
  EXPECT_EQ(Count(page, "<style>"), 1u);
  for (const char* fetches : {"<script", "<link", "<img", " src=", "url(", "@import", "<iframe"}) {
    EXPECT_EQ(page.find(fetches), std::string::npos) << fetches;
  }
  EXPECT_EQ(testing::CheckOwnMarkup(page).problem, "");
  // The header's figures: records, users, first and last day, K bytes.
  EXPECT_NE(page.find("<dd>6</dd></div><div><dt>Unique Users Found</dt><dd>2</dd></div><div><dt>"
                      "Log From</dt><dd>07/Dec/2026</dd></div><div><dt>Thru</dt><dd>07/Dec/2026"
                      "</dd></div><div><dt>K bytes</dt><dd>3</dd>"),
            std::string::npos);
  EXPECT_NE(page.find("<p class=when>Report Produced: Thu Oct  8 13:55:36 1998</p>"),
            std::string::npos);
}

TEST(ModernReport, BarsHaveTheClassicWidths) {
  struct Case {
    int32_t graphWidth;
    int64_t largest, smallest;
    const char* pageWidth;
    const char* bars;
  };
  const Case cases[] = {
      {400, 4, 1, "--gw:400}", "--w:400></i>\n--w:100></i>\n"},
      {400, 5, 1, "--gw:400}", "--w:399></i>\n--w:79></i>\n"},
      {400, 100000, 3, "--gw:400}", "--w:400></i>\n--w:1></i>\n"},
      {-20, 5, 1, "--gw:400}", "--w:1></i>\n--w:1></i>\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.largest);
    std::unique_ptr<ReportInput> state = ReportState();
    state->settings.graphWidth = c.graphWidth;
    AddUser(state->tallies.users, "a", c.largest);
    AddUser(state->tallies.users, "b", c.smallest);
    std::string users = Render(*state, Modern("TU"));
    std::string bars;
    for (size_t at = users.find("--w:"); at != std::string::npos; at = users.find("--w:", at + 1)) {
      bars += users.substr(at, users.find('\n', at) - at + 1);
    }
    EXPECT_EQ(bars, c.bars);
    // Each bar's value is its text for screen readers.
    EXPECT_NE(users.find("aria-label=" + std::to_string(c.largest) + " "), std::string::npos);
    EXPECT_NE(Page(*state).find(c.pageWidth), std::string::npos);
  }
}

TEST(ModernReport, HourlyChartHasAColumnForEveryHour) {
  std::unique_ptr<ReportInput> state = SmallRun();
  std::string hours = Render(*state, Modern("BH"));
  std::string chart = hours.substr(0, hours.find("</div>"));
  EXPECT_EQ(Count(chart, "<i title="), 24u);
  EXPECT_EQ(Count(chart, "<span>"), 24u);
  EXPECT_EQ(Count(chart, "style=--w:0>"), 22u);
  EXPECT_NE(chart.find("<i title=\"8: 1\" style=--w:79>"), std::string::npos);
  EXPECT_NE(chart.find("<i title=\"13: 5\" style=--w:399>"), std::string::npos);
  // The table below it has a row for each hour with hits only.
  EXPECT_EQ(Count(hours, "<tr><td>"), 2u);
}

// The rest of the frame is compared with the classic report end to end
// (tests/report_styles_test.cpp); the note needs a full user table.
TEST(ModernReport, ExclusionsEscapedAndTheCapacityNote) {
  std::unique_ptr<ReportInput> state = SmallRun();
  state->settings.excludedAddresses = {"10.1."};
  state->settings.excludedTypes = {"<x>"};
  state->tallies.users.ranFull = true;
  EXPECT_NE(Page(*state).find("<h2>Parameters</h2><ul>\n<li>...excluded address: 10.1.\n"
                              "<li>...excluded type: &lt;x&gt; from top page report.\n"
                              "<li>reporting host: testhost\n</ul></section>\n<p class=note>"
                              "Note: Log file had more than 50,000 users; only first 50,000 "
                              "reportable.</p>\n</main>\n<footer><p>powered by the "),
            std::string::npos);
}

TEST(ModernReport, FullTablesTakeAtMostHalfAsManyBytesAgainAsTheClassicReport) {
  std::unique_ptr<ReportInput> state = ReportState();
  RunSettings& s = state->settings;
  s.maxUsers = s.maxPages = 9999;
  s.maxDirs = s.maxNotFound = s.maxExtra1 = s.maxExtra2 = 999;
  state->counters.hasExtra1 = state->counters.hasExtra2 = true;
  Tallies& t = state->tallies;
  for (size_t i = 0; i < kUserCapacity; ++i) {
    AddUser(t.users, "host" + std::to_string(i) + ".example.com",
            static_cast<int64_t>(kUserCapacity - i), 1234.5 * static_cast<double>(i));
  }
  auto fill = [](auto& table, const std::string& prefix) {
    for (size_t i = 0; i < std::size(table.slots); ++i) {
      AddKey(table, prefix + std::to_string(i) + ".html", static_cast<int64_t>(50000 - i));
    }
  };
  fill(t.pages, "/page/");
  fill(t.directories, "/dir");
  fill(t.notFound, "/gone/");
  fill(t.extra1, "Agent/");
  fill(t.extra2, "http://ref/");
  for (size_t i = 0; i < kDateCapacity; ++i) {
    char key[16];
    std::snprintf(key, sizeof(key), "%02zu/Jan/%04zu", 1 + i % 28, 1990 + i / 28);
    SetDate(t.dates, i, key, 100 + static_cast<int64_t>(i), 5e6);
  }
  for (int h = 0; h < 24; ++h) SetHour(t.hours, static_cast<size_t>(h) + 1, h, 1000);
  FaultEnv platform;
  const std::string classic = Render(
      *state, [&](const ReportInput& in, ReportWriter& out) { WriteReport(in, out, platform); });
  const std::string modern = Page(*state);
  EXPECT_GT(classic.size(), 4000000u);
  EXPECT_LE(modern.size() * 2, classic.size() * 3);
}

TEST(ModernReport, MarkupScannerRefusesWhatThePageNeverWrites) {
  std::unique_ptr<ReportInput> state = SmallRun();
  std::string page = Page(*state);
  ASSERT_EQ(testing::CheckOwnMarkup(page).problem, "");
  const std::pair<std::string, std::string> foreign[] = {
      {"style=--w:", "style=color:red;--w:"},
      {"role=img", "role=img onclick=x"},
      {"aria-label=5", "aria-label=\"5\" title=\"x\""},
      {"class=card", "class=\"card evil\""},
      {"id=TU", "id=XX"},
      {"<h2>Top Users</h2>", "<h2>Top Users</h2><object>"},
      {"nav{", "nav{background:url(x)}nav{"},
      {"<i title=\"8: 1\"", "<i title=\"8: <b>\""},
      // Attributes a browser would read that the report never writes there.
      {"role=img", "role='img'onclick='x'"},
      {"class=top", "class=top class=top"},
      {"<p class=tot>", "<p class=tot title=\"8: 1\">"},
      {"<h2>Top Users</h2>", "<h2 class=card>Top Users</h2>"},
      {"<dl class=sum>", "<dl class=sum\tonclick=x>"},
      {"<nav>", "<nav/onfocus=x>"},
      {"<a class=top", "<a CLASS=top ONCLICK=x"},
  };
  for (const auto& [from, to] : foreign) {
    SCOPED_TRACE(to);
    std::string changed = page;
    size_t at = changed.find(from);
    ASSERT_NE(at, std::string::npos);
    changed.replace(at, from.size(), to);
    EXPECT_NE(testing::CheckOwnMarkup(changed).problem, "");
  }
}

}  // namespace
}  // namespace logvane
