#include "report/time_sections.h"

#include <gtest/gtest.h>

#include <string>

#include "support/report_fixture.h"

namespace logvane {
namespace {

using testing::Classic;
using testing::Render;
using testing::ReportState;
using testing::SetDate;
using testing::SetHour;

TEST(TimeSectionsTest, ActivityByDateRowsAndTotals) {
  std::unique_ptr<ReportInput> state = ReportState();
  SetDate(state->tallies.dates, 10, "16/Jan/1999", 5, 2500);
  SetDate(state->tallies.dates, 12, "17/Jan/1999", 4, 1499);
  EXPECT_EQ(Render(*state, Classic(DateRows)),
            "<hr><h3>Activity by Date</h3>\n<table border=5>\n "
            "<tr><th>Date</th><th>Hits</th><th>K bytes</th><th>Graph</th></tr>"
            "<tr><td>16/Jan/1999</td><td>5</td><td>3</td>"
            "<td><img src=\"/hstb.gif\" width=399 height=20></td></tr>\n"
            "<tr><td>17/Jan/1999</td><td>4</td><td>1</td>"
            "<td><img src=\"/hstb.gif\" width=319 height=20></td></tr>\n"
            "</table>\n<br>Total Days in Log: 2 \n<br>K bytes: 4 \n<br>\n");
}

TEST(TimeSectionsTest, WeekdayAveragesOverTwoWeeks) {
  std::unique_ptr<ReportInput> state = ReportState();
  // 03/Jan/1999 was a Sunday; two full weeks, the busiest day a Wednesday.
  for (int d = 0; d < 14; ++d) {
    int64_t hits = (d % 7 == 3) ? 40 : 10 + d;
    char key[16];
    std::snprintf(key, sizeof(key), "%02d/Jan/1999", 3 + d);
    SetDate(state->tallies.dates, 100 + d, key, hits, 1000.0 * hits);
  }
  std::string section = Render(*state, Classic(WeekdayRows));
  // Sums: Sun 10+17, Mon 11+18, Tue 12+19, Wed 40+40, Thu 14+21, Fri 15+22,
  // Sat 16+23; averages 13, 14, 15, 40, 17, 18, 19 (total 136); the scale
  // comes from the largest sum, 80, so Wednesday's bar is about half the
  // width; the halved byte sums are ties, written away from zero.
  EXPECT_EQ(section,
            "<hr><h3>Average Activity by Day of Week</h3>\n<table border=5>\n "
            "<tr><th>Day of Week</th><th>Average Hits</th><th>Percent</th>"
            "<th>Average K bytes</th><th>Graph</th></tr>"
            "<tr><td>Sunday</td><td>13</td><td>9.6 %</td><td>14 </td>"
            "<td><img src=\"/hstb.gif\" width=64 height=20></td></tr>\n"
            "<tr><td>Monday</td><td>14</td><td>10.3 %</td><td>15 </td>"
            "<td><img src=\"/hstb.gif\" width=69 height=20></td></tr>\n"
            "<tr><td>Tuesday</td><td>15</td><td>11.0 %</td><td>16 </td>"
            "<td><img src=\"/hstb.gif\" width=74 height=20></td></tr>\n"
            "<tr><td>Wednesday</td><td>40</td><td>29.4 %</td><td>40 </td>"
            "<td><img src=\"/hstb.gif\" width=199 height=20></td></tr>\n"
            "<tr><td>Thursday</td><td>17</td><td>12.5 %</td><td>18 </td>"
            "<td><img src=\"/hstb.gif\" width=84 height=20></td></tr>\n"
            "<tr><td>Friday</td><td>18</td><td>13.2 %</td><td>19 </td>"
            "<td><img src=\"/hstb.gif\" width=89 height=20></td></tr>\n"
            "<tr><td>Saturday</td><td>19</td><td>14.0 %</td><td>20 </td>"
            "<td><img src=\"/hstb.gif\" width=94 height=20></td></tr>\n"
            "</table>\n<br>\n");
  EXPECT_EQ(state->tallies.weekdays.days[3].hits, 40);
  EXPECT_EQ(state->tallies.weekdays.days[3].dayCount, 2);
}

TEST(TimeSectionsTest, WeekdaysWithoutDaysAreLeftOutAndBadDatesSkipped) {
  std::unique_ptr<ReportInput> state = ReportState();
  state->tallies.weekdays.days[0].hits = 99;                // stale: cleared first
  SetDate(state->tallies.dates, 0, "07/Jan/1999", 3, 500);  // Thursday
  SetDate(state->tallies.dates, 1, "05/Foo/1999", 9);
  SetDate(state->tallies.dates, 2, "04/Jan/1999", 1);  // Monday
  std::string section = Render(*state, Classic(WeekdayRows));
  EXPECT_NE(section.find("</tr><tr><td>Monday</td><td>1</td><td>25.0 %</td><td>0 </td>"
                         "<td><img src=\"/hstb.gif\" width=133 height=20></td></tr>\n"
                         "<tr><td>Thursday</td><td>3</td><td>75.0 %</td><td>1 </td>"
                         "<td><img src=\"/hstb.gif\" width=400 height=20></td></tr>\n</table>"),
            std::string::npos)
      << section;
  EXPECT_EQ(section.find("Sunday"), std::string::npos);
}

TEST(TimeSectionsTest, HourlyLoadSharesOfAllHours) {
  std::unique_ptr<ReportInput> state = ReportState();
  state->settings.barImageLocation = "http://img.example";
  SetHour(state->tallies.hours, 20, 8, 1, 40);
  SetHour(state->tallies.hours, 22, 9, 7, 2500);
  EXPECT_EQ(Render(*state, Classic(HourRows)),
            "<hr><h3>Hourly Activity Load</h3>\n<table border=5>\n "
            "<tr><th>Hour</th><th>Hits</th><th>K bytes</th><th>Percent</th><th>Graph</th></tr>"
            "<tr><td>8</td><td>1</td><td>0</td><td>12.5 %</td>"
            "<td><img src=\"http://img.example/hstb.gif\" width=57 height=20></td></tr>\n"
            "<tr><td>9</td><td>7</td><td>3</td><td>87.5 %</td>"
            "<td><img src=\"http://img.example/hstb.gif\" width=399 height=20></td></tr>\n"
            "</table>\n<br>\n");
}

}  // namespace
}  // namespace logvane
