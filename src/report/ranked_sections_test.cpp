#include "report/ranked_sections.h"

#include <gtest/gtest.h>

#include <string>

#include "support/report_fixture.h"

namespace logvane {
namespace {

using testing::AddKey;
using testing::Classic;
using testing::Render;
using testing::ReportState;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(RankedSectionsTest, RowLimitAgainstUniqueTotalAndShareOfAllHits) {
  std::unique_ptr<ReportInput> state = ReportState();
  state->settings.maxPages = 20;
  for (int i = 0; i < 30; ++i) AddKey(state->tallies.pages, "/p" + std::to_string(i), 30 - i);
  // 465 hits in all: the first page has 30 of them.
  std::string section = Render(*state, Classic(PageRows));
  EXPECT_EQ(Count(section, "<tr><td>"), 20);
  EXPECT_NE(section.find("<tr><td>1</td><td><a href=\"/p0\">/p0</a></td><td>30</td>"
                         "<td>6.5 %</td><td><img src=\"/hstb.gif\" width=399 height=20>"),
            std::string::npos);
  EXPECT_NE(section.find("<tr><td>20</td><td><a href=\"/p19\">/p19</a></td><td>11</td>"
                         "<td>2.4 %</td><td><img src=\"/hstb.gif\" width=146 height=20>"),
            std::string::npos);
  EXPECT_TRUE(section.ends_with("</table>\n<br>Total Unique Pages: 30 \n<br>\n"));
}

TEST(RankedSectionsTest, DirectoriesExtraOneAndExtraTwo) {
  std::unique_ptr<ReportInput> state = ReportState();
  state->settings.maxDirs = 1;
  AddKey(state->tallies.directories, "/images", 3);
  AddKey(state->tallies.directories, "/", 1);
  EXPECT_EQ(Render(*state, Classic(DirectoryRows)),
            "<hr><h3>Top Directories</h3>\n<table border=5>\n "
            "<tr><th>Rank</th><th>Directory</th><th>Hits</th><th>Percent</th><th>Graph</th></tr>"
            "<tr><td>1</td><td>/images</td><td>3</td><td>75.0 %</td>"
            "<td><img src=\"/hstb.gif\" width=400 height=20></td></tr>\n"
            "</table>\n<br>Total Unique Directories: 2 \n<br>\n");

  AddKey(state->tallies.extra1, "http://not.linked/", 1);
  EXPECT_EQ(Render(*state, Classic(Extra1Rows)),
            "<hr><h3>Extra 1</h3>\n<table border=5>\n "
            "<tr><th>Rank</th><th>Extra 1</th><th>Occurrence</th><th>Percent</th><th>Graph</th>"
            "</tr><tr><td>1</td><td>http://not.linked/</td><td>1</td><td>100.0 %</td>"
            "<td><img src=\"/hstb.gif\" width=400 height=20></td></tr>\n"
            "</table>\n<br>Total Extra 1: 1 \n<br>\n");

  for (const char* key : {"http://a/", "HtTp://b/", "https://c/", "http:/d/", "ftp://e/", "x"}) {
    AddKey(state->tallies.extra2, key, 1);
  }
  std::string extra2 = Render(*state, Classic(Extra2Rows));
  EXPECT_NE(extra2.find("<td><a href=\"http://a/\">http://a/</a></td>"), std::string::npos);
  EXPECT_NE(extra2.find("<td><a href=\"HtTp://b/\">HtTp://b/</a></td>"), std::string::npos);
  for (const char* plain :
       {"<td>https://c/</td>", "<td>http:/d/</td>", "<td>ftp://e/</td>", "<td>x</td>"}) {
    EXPECT_NE(extra2.find(plain), std::string::npos) << plain;
  }
  EXPECT_NE(extra2.find("<br>Total Extra 2: 6 \n"), std::string::npos);
}

TEST(RankedSectionsTest, GraphWidthOfZeroOrLessGivesBarsOfOne) {
  for (int32_t width : {0, -200}) {
    std::unique_ptr<ReportInput> state = ReportState();
    state->settings.graphWidth = width;
    AddKey(state->tallies.pages, "/a", 9);
    AddKey(state->tallies.pages, "/b", 1);
    std::string section = Render(*state, Classic(PageRows));
    EXPECT_EQ(Count(section, " width=1 height=20>"), 2) << width;
  }
}

}  // namespace
}  // namespace logvane
