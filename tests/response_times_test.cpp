// Whole runs with response times and date ranges: the time-taken field of
// each directive in its unit, the list forms of the upstream times, JSON
// keys and TIMEFIELD, percentiles against the exact ones, the section's
// switch; FROM and UNTIL at day borders in every time form, beside HOFFSET,
// and the parameter mistakes that end a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/markup_check.h"
#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

constexpr char kApacheFormat[] = "%h %l %u %t \"%r\" %>s %b ";
constexpr char kNginxFormat[] =
    "$remote_addr - $remote_user [$time_local] \"$request\" $status $body_bytes_sent ";

std::string CombinedPart(int minute = 55, const std::string& page = "/a") {
  std::string line = "192.0.2.1 - - [10/Oct/2025:13:";
  line.append(std::to_string(minute)).append(":36 +0000] \"GET ").append(page);
  return line.append(" HTTP/1.1\" 200 5 ");
}

// The "All Hours" row of the report: the count, then the figures.
std::string AllHoursRow(const std::string& report) {
  size_t at = report.find("<tr><td>All Hours</td>");
  if (at == std::string::npos) return "";
  return report.substr(at, report.find("</tr>", at) - at);
}

std::string RowOfOne(const std::string& figure) {
  std::string row = "<tr><td>All Hours</td><td>1</td>";
  for (int i = 0; i < 6; ++i) row.append("<td>").append(figure).append("</td>");
  return row;
}

TEST(ResponseTimes, EachDirectiveInItsUnit) {
  struct Case {
    std::string format;  // LOGFORMAT and any further lines
    std::string line;
    std::string figure;  // of the one time, as the report writes it
  } cases[] = {
      {std::string(kApacheFormat) + "%D", CombinedPart() + "1500", "1.50 ms"},
      {std::string(kApacheFormat) + "%T", CombinedPart() + "2", "2.00 s"},
      {std::string(kApacheFormat) + "%{s}T", CombinedPart() + "3", "3.00 s"},
      {std::string(kApacheFormat) + "%{ms}T", CombinedPart() + "250", "250 ms"},
      {std::string(kApacheFormat) + "%{us}T", CombinedPart() + "2500", "2.50 ms"},
      {std::string(kNginxFormat) + "$request_time", CombinedPart() + "0.125", "125 ms"},
      {std::string(kNginxFormat) + "\"$upstream_response_time\"",
       CombinedPart() + "\"0.012, 0.340\"", "352 ms"},
      {std::string(kNginxFormat) + "\"$upstream_response_time\"",
       CombinedPart() + "\"0.012 : 0.340\"", "352 ms"},
      {std::string(kNginxFormat) + "\"$upstream_response_time\"",
       CombinedPart() + "\"-, 0.100 : 0.001\"", "101 ms"},
      // The request's own time is preferred to an upstream's.
      {std::string(kNginxFormat) + "$upstream_response_time $request_time",
       CombinedPart() + "0.500 0.750", "750 ms"},
      {std::string(kNginxFormat) + "$upstream_response_time $request_time\nTIMEFIELD=$upstream_"
                                   "response_time",
       CombinedPart() + "0.500 0.750", "500 ms"},
      {std::string(kNginxFormat) + "$request_time\nTIMEFIELD=$request_time:ms",
       CombinedPart() + "7", "7.00 ms"},
      {"JSON",
       R"({"time_local":"10/Oct/2025:13:55:36 +0000","request":"GET / HTTP/1.1","request_time":0.5})",
       "500 ms"},
      {"JSON",
       R"({"time_local":"10/Oct/2025:13:55:36 +0000","request":"GET / HTTP/1.1","upstream_response_time":"0.1, 0.2"})",
       "300 ms"},
      {"JSON",
       R"({"time_local":"10/Oct/2025:13:55:36 +0000","request":"GET / HTTP/1.1","duration":1.5e-05})",
       "0.015 ms"},
      {"JSON\nTIMEFIELD=duration_ms:ms",
       R"({"time_local":"10/Oct/2025:13:55:36 +0000","request":"GET / HTTP/1.1","duration":9,"duration_ms":42})",
       "42.0 ms"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    LogRun run = RunOnLog(dir, c.line + "\n", 'N', "LOGFORMAT=" + c.format + "\n");
    EXPECT_EQ(run.result.status, 0) << c.format;
    EXPECT_EQ(AllHoursRow(run.report), RowOfOne(c.figure)) << c.format;
    EXPECT_NE(run.report.find("<a href=\"#RT\">[Response Times]</a>"), std::string::npos);
    EXPECT_EQ(CheckOwnMarkup(run.report).problem, "") << c.format;
  }
}

// Within the sketch's 1/129 and the three digits the report writes.
double FigureMicros(const std::string& cell) {
  double value = std::stod(cell);
  return cell.ends_with(" s") ? value * 1e6 : value * 1e3;
}

TEST(ResponseTimes, PercentilesOfTheWholeLogNearTheExactOnes) {
  std::mt19937 random(5);
  std::lognormal_distribution<double> spread(-3, 1.2);
  std::string log;
  std::vector<uint64_t> micros;
  for (int i = 0; i < 3000; ++i) {
    uint64_t us = static_cast<uint64_t>(spread(random) * 1e6);
    micros.push_back(us);
    log += CombinedPart(i % 60) + std::to_string(us) + "\n";
  }
  std::sort(micros.begin(), micros.end());
  TempDir dir;
  LogRun run = RunOnLog(dir, log, 'N', "LOGFORMAT=" + std::string(kApacheFormat) + "%D\n");
  std::string row = AllHoursRow(run.report);
  std::vector<std::string> cells;
  for (size_t at = row.find("<td>"); at != std::string::npos; at = row.find("<td>", at + 1)) {
    cells.push_back(row.substr(at + 4, row.find("</td>", at) - at - 4));
  }
  ASSERT_EQ(cells.size(), 8u) << row;
  EXPECT_EQ(cells[1], "3000");
  const double quantiles[] = {0.5, 0.9, 0.95, 0.99, 1.0};
  for (size_t i = 0; i < 5; ++i) {
    double exact = static_cast<double>(micros[static_cast<size_t>(quantiles[i] * 2999)]);
    EXPECT_NEAR(FigureMicros(cells[2 + i]), exact, exact * (1.0 / 129 + 0.005))
        << quantiles[i] << ": " << cells[2 + i];
  }
}

TEST(ResponseTimes, NoSectionWithoutATimeOrUnderNoTimes) {
  const std::string timed = CombinedPart() + "0.250\n";
  struct Case {
    std::string log;
    std::string params;
    bool section;
    std::string errors;  // a line standard error has, if any
  } cases[] = {
      {timed, "LOGFORMAT=" + std::string(kNginxFormat) + "$request_time\n", true, ""},
      {timed, "LOGFORMAT=" + std::string(kNginxFormat) + "$request_time\nNO_TIMES\n", false, ""},
      // A format without the field reads the same line's last word as nothing.
      {timed, "LOGFORMAT=" + std::string(kNginxFormat) + "$bytes_sent\n", false, ""},
      {CombinedPart() + "-\n" + CombinedPart() + "abc\n" + CombinedPart() + "-1\n",
       "LOGFORMAT=" + std::string(kNginxFormat) + "$request_time\n", false,
       "logvane: access.log:1: note: 3 records have no response time in the time-taken field"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    LogRun run = RunOnLog(dir, c.log, 'N', c.params);
    EXPECT_EQ(run.result.status, 0) << c.params;
    EXPECT_EQ(run.report.find("<a name=RT>") != std::string::npos, c.section) << c.params;
    EXPECT_EQ(run.report.find("href=\"#RT\"") != std::string::npos, c.section) << c.params;
    EXPECT_NE(run.result.errors.find(c.errors), std::string::npos) << run.result.errors;
  }
}

TEST(ResponseTimes, TheModernStyleDrawsTheHoursAsAnInlineChart) {
  std::string log;
  for (int i = 0; i < 40; ++i) {
    std::string line = "192.0.2.1 - - [10/Oct/2025:" + std::to_string(10 + i % 5);
    log +=
        line + ":00:00 +0000] \"GET /p HTTP/1.1\" 200 5 " + std::to_string(1000 * (i + 1)) + "\n";
  }
  TempDir dir;
  LogRun run =
      RunOnLog(dir, log, 'N', "LOGFORMAT=" + std::string(kApacheFormat) + "%D\nSTYLE=MODERN\n");
  EXPECT_EQ(CheckOwnMarkup(run.report).problem, "");
  size_t chart = run.report.find("<svg ");
  ASSERT_NE(chart, std::string::npos);
  std::string svg = run.report.substr(chart, run.report.find("</svg>", chart) - chart);
  // The baseline, and two lines of five hours each; no script, nothing loaded.
  EXPECT_EQ(std::count(svg.begin(), svg.end(), ','), 2 + 2 * 5) << svg;
  EXPECT_EQ(svg.find("script"), std::string::npos);
  EXPECT_EQ(svg.find("href"), std::string::npos);
  EXPECT_NE(run.report.find("<section id=RT class=card><h2>Response Times</h2>"),
            std::string::npos);
}

TEST(ResponseTimes, SlowestPagesByP95AmongPagesTimedOftenEnough) {
  std::string log;
  // /slow: 10 hits of 900 ms; /mid: 12 of 300 ms; /rare: 3 of 5 s.
  for (int i = 0; i < 10; ++i) log += CombinedPart(i, "/slow") + "900000\n";
  for (int i = 0; i < 12; ++i) log += CombinedPart(i, "/mid") + "300000\n";
  for (int i = 0; i < 3; ++i) log += CombinedPart(i, "/rare") + "5000000\n";
  const std::string format = "LOGFORMAT=" + std::string(kApacheFormat) + "%D\n";
  struct Case {
    std::string params;
    std::vector<std::string> pages;
  } cases[] = {
      {"", {"/slow", "/mid"}},
      {"MINHITS=3\n", {"/rare", "/slow", "/mid"}},
      {"MINHITS=11\n", {"/mid"}},
      {"MINHITS=3\nMAXSLOW=2\n", {"/rare", "/slow"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    LogRun run = RunOnLog(dir, log, 'N', format + c.params);
    size_t table = run.report.find("<h4>Slowest Pages</h4>");
    ASSERT_NE(table, std::string::npos) << c.params;
    std::string rows = run.report.substr(table, run.report.find("</table>", table) - table);
    std::vector<std::string> pages;
    for (size_t at = rows.find("<tr><td>"); at != std::string::npos;
         at = rows.find("<tr><td>", at + 1)) {
      size_t key = rows.find("</td><td>", at) + 9;
      pages.push_back(rows.substr(key, rows.find("</td>", key) - key));
    }
    EXPECT_EQ(pages, c.pages) << c.params;
  }
}

// A log of one record each side of the day borders of 1 and 2 March, in
// the zone `zone`, written by `line`.
struct RangeCase {
  std::string name;
  std::string params;
  std::vector<std::string> lines;
  int kept;
};

std::string Combined(const std::string& when, const std::string& zone) {
  return "192.0.2.1 - - [" + when + " " + zone + "] \"GET / HTTP/1.1\" 200 5\n";
}

TEST(DateRanges, KeepTheRangeAtDayBordersInEveryTimeForm) {
  const std::string iso = "LOGFORMAT=$remote_addr [$time_iso8601] \"$request\" $status\n";
  const std::string epoch = "LOGFORMAT=$remote_addr [$msec] \"$request\" $status\n";
  const std::string json = "LOGFORMAT=JSON\n";
  auto isoLine = [](const std::string& t) {
    return "192.0.2.1 [" + t + "] \"GET / HTTP/1.1\" 200\n";
  };
  auto jsonLine = [](const std::string& t) {
    return R"({"time":")" + t + R"(","request":"GET / HTTP/1.1"})" + "\n";
  };
  const std::vector<std::string> borders = {
      Combined("28/Feb/2025:23:59:59", "+0100"), Combined("01/Mar/2025:00:00:00", "+0100"),
      Combined("01/Mar/2025:23:59:59", "+0100"), Combined("02/Mar/2025:00:00:00", "+0100")};
  RangeCase cases[] = {
      // Dates in the log's own time: the whole of 1 March as the log says.
      {"local day", "FROM=2025-03-01\nUNTIL=2025-03-01\n", borders, 2},
      {"local day, HOFFSET", "FROM=2025-03-01\nUNTIL=2025-03-01\nHOFFSET=5\n", borders, 2},
      {"from only", "FROM=2025-03-01\n", borders, 3},
      {"until a time, exclusive", "UNTIL=2025-03-01T00:00\n", borders, 1},
      {"until with seconds", "UNTIL=2025-03-01T23:59:59\n", borders, 2},
      // With an offset the bounds are instants: 1 March in UTC begins at
      // 01:00 +0100.
      {"utc day",
       "FROM=2025-03-01Z\nUNTIL=2025-03-01Z\n",
       {Combined("01/Mar/2025:00:59:59", "+0100"), Combined("01/Mar/2025:01:00:00", "+0100"),
        Combined("28/Feb/2025:23:30:00", "-0100"), Combined("02/Mar/2025:00:59:59", "+0100"),
        Combined("02/Mar/2025:01:00:00", "+0100")},
       3},
      {"offset bound, zones mixed",
       "FROM=2025-03-01T12:00+02:00\n",
       {Combined("01/Mar/2025:09:59:59", "+0000"), Combined("01/Mar/2025:10:00:00", "+0000"),
        Combined("01/Mar/2025:04:59:59", "-0500"), Combined("01/Mar/2025:05:00:00", "-0500")},
       2},
      {"iso",
       iso + "FROM=2025-03-01\nUNTIL=2025-03-01\n",
       {isoLine("2025-02-28T23:59:59+01:00"), isoLine("2025-03-01T00:00:00+01:00"),
        isoLine("2025-03-01T23:59:59.999+01:00"), isoLine("2025-03-02T00:00:00Z")},
       2},
      {"iso, offset bound",
       iso + "FROM=2025-03-01T00:00Z\n",
       {isoLine("2025-03-01T00:59:59+01:00"), isoLine("2025-03-01T01:00:00+01:00"),
        isoLine("2025-02-28T23:00:00-01:00")},
       2},
      {"epoch",
       epoch + "FROM=2025-03-01\nUNTIL=2025-03-01\n",
       {isoLine("1740787199.999"), isoLine("1740787200.000"), isoLine("1740873599.5"),
        isoLine("1740873600")},
       2},
      {"json",
       json + "FROM=2025-03-01T12:00\nUNTIL=2025-03-01T13:00\n",
       {jsonLine("2025-03-01T11:59:59Z"), jsonLine("01/Mar/2025:12:00:00 +0000"),
        jsonLine("1740833999"), jsonLine("2025-03-01T13:00:00Z")},
       2},
  };
  for (const RangeCase& c : cases) {
    std::string log;
    for (const std::string& line : c.lines) log += line;
    TempDir dir;
    LogRun run = RunOnLog(dir, log, 'N', c.params);
    EXPECT_EQ(run.result.status, 0) << c.name;
    EXPECT_NE(run.console.find("completed reading... processed: " + std::to_string(c.kept) +
                               " records.\n"),
              std::string::npos)
        << c.name << "\n"
        << run.console;
    const int skipped = static_cast<int>(c.lines.size()) - c.kept;
    EXPECT_NE(run.result.errors.find(" skipped " + std::to_string(skipped) +
                                     (skipped == 1 ? " record" : " records") +
                                     " outside the range, before any other rule; the records "
                                     "kept run from "),
              std::string::npos)
        << c.name << "\n"
        << run.result.errors;
  }
}

TEST(DateRanges, TellTheFirstAndLastTimeKeptAndEchoTheBounds) {
  const std::string log =
      Combined("01/Mar/2025:10:00:00", "+0100") + Combined("28/Feb/2025:10:00:00", "+0100") +
      Combined("01/Mar/2025:08:00:00", "-0200") + Combined("01/Mar/2025:09:00:00", "+0100");
  TempDir dir;
  LogRun run = RunOnLog(dir, log, 'N', "FROM=2025-03-01\nUNTIL=2025-03-31\n");
  EXPECT_NE(run.console.find("From: 2025-03-01\nUntil: 2025-03-31\n"), std::string::npos);
  EXPECT_NE(run.result.errors.find(
                "logvane: access.log: note: FROM=2025-03-01 UNTIL=2025-03-31 skipped 1 record "
                "outside the range, before any other rule; the records kept run from "
                "2025-03-01 09:00:00 +01:00 to 2025-03-01 08:00:00 -02:00\n"),
            std::string::npos)
      << run.result.errors;
  // The bounds stand in the parameters block.
  EXPECT_NE(run.report.find("2025-03-01 to 2025-03-31"), std::string::npos);
}

TEST(DateRanges, AValueThatIsNoDateOrTimeEndsTheRun) {
  struct Case {
    std::string params;
    std::string error;
  } cases[] = {
      {"FROM=yesterday\n", "logvane: lvparam.dat:4: error: FROM=yesterday: "},
      {"UNTIL=2025-02-30\n", "logvane: lvparam.dat:4: error: UNTIL=2025-02-30: "},
      {"FROM=2025-03-02\nUNTIL=2025-03-01\n", "logvane: lvparam.dat:5: error: UNTIL=2025-03-01: "},
      {"FROM=2025-03-01T25:00\n", "logvane: lvparam.dat:4: error: FROM=2025-03-01T25:00: "},
  };
  for (const Case& c : cases) {
    TempDir dir;
    LogRun run = RunOnLog(dir, Combined("01/Mar/2025:10:00:00", "+0100"), 'N', c.params);
    EXPECT_NE(run.result.status, 0) << c.params;
    EXPECT_NE(run.result.errors.find(c.error), std::string::npos) << run.result.errors;
    EXPECT_NE(run.result.errors.find(": the run ends here\n"), std::string::npos);
    EXPECT_NE(run.console.find("*ERROR* "), std::string::npos) << run.console;
    EXPECT_FALSE(FileExists(dir.File("report.html"))) << c.params;
  }
}

TEST(ResponseTimes, ATimeFieldThatCannotBeUsedEndsTheRun) {
  struct Case {
    std::string params;
    std::string reason;
  } cases[] = {
      {"LOGFORMAT=" + std::string(kNginxFormat) + "$request_time\nTIMEFIELD=$request_time:h\n",
       "TIMEFIELD=$request_time:h: the unit 'h' is none of s, ms, us and ns"},
      {"LOGFORMAT=" + std::string(kNginxFormat) + "$request_time\nTIMEFIELD=$upstream_time\n",
       "TIMEFIELD names $upstream_time, which the log format does not hold"},
      {"TIMEFIELD=%D\n", "TIMEFIELD names %D, which the log format does not hold"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    LogRun run = RunOnLog(dir, CombinedPart() + "1\n", 'N', c.params);
    EXPECT_NE(run.result.status, 0) << c.params;
    EXPECT_NE(run.console.find("*ERROR* The log format cannot be used: " + c.reason + "\n"),
              std::string::npos)
        << run.console;
  }
}

}  // namespace
}  // namespace logvane::testing
