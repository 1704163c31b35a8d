#include "report/table_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

TEST(BarWidthTest, LongestBarAndSmallestBar) {
  const struct {
    int64_t largest;
    int32_t graphWidth;
    int64_t value;
    int64_t width;
  } cases[] = {
      {4, 400, 4, 400},                               // 0.01f lies below 0.01
      {5, 400, 5, 399},                               // 0.0125f lies above 0.0125
      {5, 400, 1, 79},         {1000000, 400, 1, 1},  // far below the largest still shows
      {1000000, 400, 2499, 1}, {1000000, 400, 2500, 1}, {1000000, 400, 5000, 2},
      {7, 750, 7, 750},        {10, 0, 10, 1},  // width 0: infinite scale
      {10, -50, 10, 1},                         // negative width: negative bars
      {10, -50, 1, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BarWidth(c.value, BarScale(c.largest, c.graphWidth)), c.width)
        << c.value << " of " << c.largest << " at " << c.graphWidth;
  }
}

TEST(TablePatternTest, CellsAndFormats) {
  std::string written;
  RunSettings settings;
  {
    ReportWriter out(&written);
    WriteHeading(out, "H<b>");
    WriteTableStart(out);
    WriteHeaderRow(out, {"A", "B", "C"});
    out.Write("<tr><td>x");
    WriteGraphCell(out, settings, 12);
    settings.barImageLocation = "http://img/";
    out.Write("<tr><td>y");
    WriteGraphCell(out, settings, 1);
    WriteTableEnd(out);
    WriteTotalLine(out, "Total", 30);
    WriteSectionEnd(out);
    WritePercent(out, 49, 400);  // 12.25 exactly
    out.Write("|");
    WritePercent(out, 1, 3);
    out.Write("|");
    WritePercent(out, 7, 7);
    out.Write("|");
    WriteKBytes(out, 2500);  // 2.5 K bytes
    out.Write("|");
    WriteKBytes(out, 700);
    (void)out.Close();
  }
  EXPECT_EQ(written,
            "<hr><h3>H<b></h3>\n"
            "<table border=5>\n "
            "<tr><th>A</th><th>B</th><th>C</th></tr>"
            "<tr><td>x</td><td><img src=\"/hstb.gif\" width=12 height=20></td></tr>\n"
            "<tr><td>y</td><td><img src=\"http://img//hstb.gif\" width=1 height=20></td></tr>\n"
            "</table>\n"
            "<br>Total: 30 \n"
            "<br>\n"
            "12.3 %|33.3 %|100.0 %|3|1");
}

TEST(TablePatternTest, FloatHitSumAddsInSlotOrderInSinglePrecision) {
  struct Entry {
    int64_t hits;
  };
  // 2^24 + 1 cannot be held in a float: each added 1 is lost.
  Entry slots[4] = {{16777216}, {1}, {1}, {0}};
  EXPECT_EQ(FloatHitSum(slots), 16777216.0f);
  Entry reversed[4] = {{1}, {1}, {16777216}, {0}};
  EXPECT_EQ(FloatHitSum(reversed), 16777218.0f);
}

TEST(TablePatternTest, RankedWalkStopsAtTheFirstEmptyEntry) {
  struct Entry {
    int64_t hits;
  };
  Entry slots[6] = {{9}, {5}, {5}, {1}, {0}, {7}};
  std::string ranks;
  int64_t unique = RankedWalk(slots, 2, [&](const Entry& e, int64_t rank) {
    ranks += std::to_string(rank) + ":" + std::to_string(e.hits) + " ";
  });
  EXPECT_EQ(unique, 4);
  EXPECT_EQ(ranks, "1:9 2:5 ");
}

}  // namespace
}  // namespace logvane
