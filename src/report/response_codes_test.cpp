#include "report/response_codes.h"

#include <gtest/gtest.h>

#include <string>

#include "support/report_fixture.h"

namespace logvane {
namespace {

using testing::AddKey;
using testing::Classic;
using testing::Render;
using testing::ReportState;

const char kNotFoundHead[] =
    "<h4>Top Documents Not Found</h4>\n<table border=5>\n "
    "<tr><th>Rank</th><th>Directory</th><th>Hits</th><th>Percent</th><th>Graph</th></tr>";

TEST(ResponseCodesTest, OnlyOkAnswers) {
  std::unique_ptr<ReportInput> state = ReportState();
  CountResponseCode(state->tallies.codes, 200);
  CountResponseCode(state->tallies.codes, 200);
  EXPECT_EQ(Render(*state, Classic(ResponseCodeRows)),
            std::string("<hr>\n<h4>Analysis by Server Response Code</h4>\n<table border=5>\n "
                        "<tr><th>Code</th><th>Description</th><th>Hits</th><th>Percent</th></tr>"
                        "<tr><td>200</td><td>OK</td><td>2</td><td>100.0 %</td></tr>\n"
                        "</table>\n") +
                kNotFoundHead + "</table>\n<br>\n");
}

TEST(ResponseCodesTest, UnknownCodesFirstAndNotFoundSharesOf404) {
  std::unique_ptr<ReportInput> state = ReportState();
  state->settings.maxNotFound = 10;
  ResponseCodeCounters& codes = state->tallies.codes;
  for (int code : {206, 307, 405, 410}) CountResponseCode(codes, code);
  for (int i = 0; i < 3; ++i) CountResponseCode(codes, 503);
  // Twelve documents not found, 13 answers of 404 in all.
  for (int i = 0; i < 12; ++i) {
    AddKey(state->tallies.notFound, "/gone" + std::to_string(i), i == 0 ? 2 : 1);
  }
  for (int i = 0; i < 13; ++i) CountResponseCode(codes, 404);
  std::string section = Render(*state, Classic(ResponseCodeRows));
  EXPECT_NE(section.find("</tr><tr><td>0</td><td>Unknown Code</td><td>4</td><td>20.0 %</td></tr>\n"
                         "<tr><td>404</td><td>Not Found</td><td>13</td><td>65.0 %</td></tr>\n"
                         "<tr><td>503</td><td>Service Unavailable</td><td>3</td><td>15.0 %</td>"
                         "</tr>\n</table>\n"),
            std::string::npos);
  EXPECT_NE(section.find(std::string(kNotFoundHead) +
                         "<tr><td>1</td><td>/gone0</td><td>2</td><td>15.4 %</td>"
                         "<td><img src=\"/hstb.gif\" width=400 height=20></td></tr>\n"
                         "<tr><td>2</td><td>/gone1</td><td>1</td><td>7.7 %</td>"
                         "<td><img src=\"/hstb.gif\" width=200 height=20></td></tr>\n"),
            std::string::npos);
  EXPECT_NE(section.find("<tr><td>10</td><td>/gone9</td>"), std::string::npos);
  EXPECT_EQ(section.find("<tr><td>11</td>"), std::string::npos);
  EXPECT_TRUE(section.ends_with("</td></tr>\n</table>\n<br>\n"));
}

}  // namespace
}  // namespace logvane
