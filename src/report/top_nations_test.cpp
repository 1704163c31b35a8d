#include "report/top_nations.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/report_fixture.h"

namespace logvane {
namespace {

const char* const kHead =
    "<hr><h3>Top Nations</h3>\n<table border=5>\n "
    "<tr><th>Rank</th><th>Nation</th><th>Hits</th><th>Percent</th><th>Graph</th></tr>";

std::string Row(int rank, const std::string& nation, int hits, const std::string& percent,
                int width, const std::string& location = "") {
  return "<tr><td>" + std::to_string(rank) + "</td><td>" + nation + "</td><td>" +
         std::to_string(hits) + "</td><td>" + percent + " %</td><td><img src=\"" + location +
         "/hstb.gif\" width=" + std::to_string(width) + " height=20></td></tr>\n";
}

std::string Tail(int unique) {
  return "</table>\n<br>Total Unique Nations: " + std::to_string(unique) + " \n<br>\n";
}

class TopNationsTest : public ::testing::Test {
 protected:
  void SetUp() override { state_ = testing::ReportState(); }
  void Count(const std::string& key, int hits) {
    for (int i = 0; i < hits; ++i) CountText(state_->tallies.users, key, 1);
  }
  std::string Write() {
    std::string report;
    ReportWriter out(&report);
    testing::DeriveTotals(state_->tallies);
    WriteClassicTables(NationRows(*state_), state_->settings, out);
    (void)out.Close();
    return report;
  }

  std::unique_ptr<ReportInput> state_;
};

TEST_F(TopNationsTest, NoUsersGiveAnEmptyTable) { EXPECT_EQ(Write(), kHead + Tail(0)); }

TEST_F(TopNationsTest, RanksNationsWithSharesAndBars) {
  Count("a.example.de", 30);
  Count("b.example.fr", 20);
  Count("c.example.de", 10);
  Count("d.example.com", 7);
  Count("192.0.2.1", 3);
  // Total 70; the top bar is 40 / (40 / 400 as a float), a hair under 400.
  EXPECT_EQ(Write(), kHead + Row(1, "Germany", 40, "57.1", 399) +
                         Row(2, "France", 20, "28.6", 199) + Row(3, "U.S.A.", 7, "10.0", 69) +
                         Row(4, "(unknown)", 3, "4.3", 29) + Tail(4));
}

TEST_F(TopNationsTest, ShowsAtMostMaxNationsRowsButCountsThemAll) {
  const char* const codes[] = {"de", "fr", "it", "es", "nl", "be",
                               "at", "ch", "se", "no", "dk", "fi"};
  int hits = 100;
  for (const char* code : codes) Count(std::string("h.example.") + code, hits--);
  state_->settings.maxNations = 10;
  state_->settings.graphWidth = 300;
  state_->settings.barImageLocation = "/img";
  std::string report = Write();
  EXPECT_NE(report.find(Row(10, "Norway", 91, "8.0", 272, "/img")), std::string::npos) << report;
  EXPECT_EQ(report.find("Denmark"), std::string::npos);
  EXPECT_EQ(report.find("<tr><td>11<"), std::string::npos);
  EXPECT_NE(report.find(Row(1, "Germany", 100, "8.8", 299, "/img")), std::string::npos);
  EXPECT_TRUE(report.ends_with(Tail(12)));
}

TEST_F(TopNationsTest, UnresolvedUsersAreAllUnknown) {
  Count("192.0.2.1", 2);
  Count("2001:db8::1", 1);
  EXPECT_EQ(Write(), kHead + Row(1, "(unknown)", 3, "100.0", 400) + Tail(1));
}

TEST_F(TopNationsTest, AFewHitsStillGetABarOfOne) {
  Count("big.example.jp", 5000);
  Count("small.example.kr", 1);
  std::string report = Write();
  EXPECT_NE(report.find(Row(2, "Korea (South)", 1, "0.0", 1)), std::string::npos) << report;
}

}  // namespace
}  // namespace logvane
