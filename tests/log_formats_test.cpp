// Whole runs over logs in the formats beyond combined: one source log
// written in every layout gives the same report, damaged lines of each
// layout are counted and named on standard error, and the marker parser's
// runs stay as they are.
#include <gtest/gtest.h>

#include <string>

#include "support/log_converter.h"
#include "support/log_generator.h"
#include "support/markup_check.h"
#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

using namespace std::string_literals;
using bench::ConvertLog;
using bench::kLayouts;
using bench::Layout;

const std::string kShowAll =
    "MAXUSERS=9999\nMAXPAGES=9999\nMAXDIRS=999\nMAXNOTFOUND=999\nMAXEXTRA1=999\nMAXEXTRA2=999\n";

std::string FormatLine(std::string_view value) {
  return value.empty() ? "" : "LOGFORMAT=" + std::string(value) + "\n";
}

// The console with the setting echoes of the new keywords taken out.
std::string WithoutEcho(std::string console, const std::string& echo) {
  size_t at = console.find(echo);
  if (at != std::string::npos) console.erase(at, echo.size());
  return console;
}

TEST(LogFormats, OneLogInEveryLayoutGivesOneReport) {
  const std::string source = bench::LogGenerator::Generate(3000, 11);
  TempDir dir;
  LogRun combined = RunOnLog(dir, source, 'N', kShowAll);
  ASSERT_EQ(combined.result.status, 0);
  for (const auto& layout : kLayouts) {
    std::string log = ConvertLog(source, layout.layout);
    EXPECT_EQ(log == source, layout.layout == Layout::kCombined) << layout.name;
    // The layouts that log the time taken add the Response Times section,
    // which NO_TIMES leaves out.
    LogRun run = RunOnLog(dir, log, 'N', FormatLine(layout.logFormat) + kShowAll + "NO_TIMES\n");
    EXPECT_EQ(run.result.status, 0) << layout.name;
    // Nothing but the note on the bar images that every run without hstb_loc gets.
    EXPECT_TRUE(run.result.errors.starts_with("logvane: note: the report's bars point at"))
        << layout.name;
    EXPECT_EQ(run.result.errors.find('\n') + 1, run.result.errors.size()) << layout.name;
    EXPECT_EQ(MaskTimes(run.report), MaskTimes(combined.report)) << layout.name;
    std::string echo =
        layout.logFormat.empty() ? "" : "Log format: " + std::string(layout.logFormat) + "\n";
    EXPECT_NE(run.console.find(echo), std::string::npos) << layout.name;
    EXPECT_EQ(WithoutEcho(WithoutEcho(run.console, echo), "RESPONSE TIMES report dropped..\n"),
              combined.console)
        << layout.name;
  }
  // The same log read as combined through a format string, and COMBINED
  // named: the marker parser's report and console.
  for (
      std::string format :
      {std::string(bench::kLayouts[0].logFormat), std::string("COMBINED"),
       std::string(
           R"($remote_addr - $remote_user [$time_local] "$request" $status $body_bytes_sent "$http_referer" "$http_user_agent")")}) {
    LogRun run = RunOnLog(dir, source, 'N', FormatLine(format) + kShowAll);
    EXPECT_EQ(MaskTimes(run.report), MaskTimes(combined.report)) << format;
  }
}

TEST(LogFormats, ChosenExtrasFeedTheExtraSections) {
  const std::string source = bench::LogGenerator::Generate(500, 5);
  TempDir dir;
  LogRun run = RunOnLog(dir, ConvertLog(source, Layout::kVhostCombined), 'N',
                        "LOGFORMAT=VHOST_COMBINED\nEXTRA1=%v\nEXTRA2=$server_port\n");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_NE(run.console.find("Log format: VHOST_COMBINED\nExtra 1 field: %v\n"
                             "Extra 2 field: $server_port\n"),
            std::string::npos);
  EXPECT_NE(run.report.find("shop.example.com"), std::string::npos);
  EXPECT_NE(run.report.find(">443<"), std::string::npos);
  EXPECT_EQ(run.report.find("Mozilla"), std::string::npos);

  // Combined with a chosen extra reads through the combined format string.
  run = RunOnLog(dir, source, 'N', "EXTRA1=%{User-Agent}i\nEXTRA2=%h\n");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_NE(run.report.find("Mozilla"), std::string::npos);
}

TEST(LogFormats, DamagedLinesAreCountedAndNamed) {
  const std::string good = bench::LogGenerator::Generate(4, 3);
  const std::string huge(5000, 'x');
  struct Case {
    Layout layout;
    std::string damaged;  // lines that do not fit, and a long one that does
    int unmatched;
    int fitting;  // of the damaged lines, those that fit after all
    std::string first;  // as standard error shows it
  } cases[] = {
      {Layout::kVhostCombined,
       "v:80 1.2.3.4 - - [10/Oct/2025:13:55:36 +0000] 'GET / HTTP/1.1' 200 1 \"-\" \"-\"\n"
       "v:80 1.2.3.4 - - [10/Oct/2025:13:55:36 +0000] \"GET / HTTP/1.1\" 200\n"
       "1.2.3.4 - - [10/Oct/2025:13:55:36 +0000] \"GET / HTTP/1.1\" 200 1 \"-\" \"-\"\n" +
           "v:80 \0\x1b[2J - [10/Oct/2025:13:55:36 +0000]\n"s +
           "v:80 h - - [10/Oct/2025:13:55:36 +0000] \"GET / HTTP/1.1\" 200 1 \"" + huge +
           "\" \"-\"\n",
       4, 1, "v:80 1.2.3.4 - - [10/Oct/2025:13:55:36 +0000] 'GET / HTTP/1.1' 200 1 \"-\" \"-\""},
      {Layout::kNginxString,
       "h - - [10/Oct/2025:13:55:36 +0000] \"GET / HTTP/1.1\" 200 1 \"-\" \"-\" rt=0\n"
       "\n" +
           "h - - [2025-10-10T13:55:36\0Z] \"GET"s + "\n",
       3, 0, "h - - [10/Oct/2025:13:55:36 +0000] \"GET / HTTP/1.1\" 200 1 \"-\" \"-\" rt=0"},
      {Layout::kJson,
       "{\"time_local\":\"10/Oct/2025:13:55:36 +0000\",\"request\":\"GET / HTTP/1.1\"\n"
       "{\"request\":\"GET / HTTP/1.1\"}\n"
       "[1,2]\n"
       "{\"time_local\":\"10/Oct/2025:13:55:36 +0000\",\"request\":\"GET / HTTP/1.1\",\"u\":\"" +
           huge + "\"}\n" + "\0\x01{}\n"s,
       3 + 1, 1, "{\"time_local\":\"10/Oct/2025:13:55:36 +0000\",\"request\":\"GET / HTTP/1.1\""},
  };
  for (const Case& c : cases) {
    std::string_view format;
    for (const auto& l : kLayouts) {
      if (l.layout == c.layout) format = l.logFormat;
    }
    TempDir dir;
    std::string log = ConvertLog(good, c.layout) + c.damaged + ConvertLog(good, c.layout);
    LogRun run = RunOnLog(dir, log, 'N', FormatLine(format));
    EXPECT_EQ(run.result.status, 0) << format;
    EXPECT_NE(run.console.find("completed reading... processed: " +
                               std::to_string(8 + c.unmatched + c.fitting) + " records.\n"),
              std::string::npos)
        << format << run.console;
    // After the note on the bar images that every run without hstb_loc gets.
    EXPECT_TRUE(run.result.errors.ends_with(
        "logvane: " + std::to_string(c.unmatched) +
        " lines do not match the log format and fed nothing; the first: " + c.first + "\n"))
        << format;
    EXPECT_EQ(CheckOwnMarkup(run.report).problem, "") << format;
  }
}

TEST(LogFormats, AFormatThatCannotBeReadEndsTheRun) {
  TempDir dir;
  LogRun run = RunOnLog(dir, "x\n", 'N', "LOGFORMAT=%h %r\n");
  EXPECT_EQ(run.result.status, 1);
  EXPECT_TRUE(
      run.console.ends_with("Log format: %h %r\n...... parameters file closed.\n\n"
                            "*ERROR* The log format cannot be used: it has no time field\n"))
      << run.console;
  EXPECT_FALSE(FileExists(dir.File("report.html")));
}

}  // namespace
}  // namespace logvane::testing
