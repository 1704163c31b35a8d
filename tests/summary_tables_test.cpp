// TABLES=SUMMARY and the distinct counts, end to end: a log that fits gives
// the report it gives without the keyword, byte for byte; a table that runs
// full keeps its heaviest keys and says so on the console, on standard
// error and under its section; the distinct clients and visitors show in
// the modern report, and in the classic one with DISTINCT=ON.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/agent_test_data.h"
#include "support/run_check.h"

namespace logvane::testing {
namespace {

std::string Line(const std::string& client, const std::string& day, const std::string& path,
                 int code, const std::string& agent) {
  return client + " - - [" + day + ":10:00:00 +0000] \"GET " + path + " HTTP/1.0\" " +
         std::to_string(code) + " 100 \"-\" \"" + agent + "\"\n";
}

// The console without the echo of TABLES=SUMMARY, which is the one line
// that keyword adds to a log that fits.
std::string WithoutEcho(std::string console) {
  const std::string echo = "Tables: SUMMARY\n";
  size_t at = console.find(echo);
  if (at != std::string::npos) console.erase(at, echo.size());
  return console;
}

TEST(SummaryTables, LogsThatFitGiveTheSameReport) {
  std::vector<std::pair<std::string, std::string>> logs;
  std::string hand;
  for (int i = 0; i < 400; ++i) {
    hand += Line("10.0.0." + std::to_string(i % 37), std::to_string(1 + i % 5) + "/Oct/2025",
                 "/d" + std::to_string(i % 13) + "/p" + std::to_string(i % 41) + ".html",
                 i % 7 == 0 ? 404 : 200, "agent " + std::to_string(i % 3));
  }
  logs.push_back({"hand", hand});
  for (const char* name :
       {"real-logs/elastic_apache_combined_2015.log", "real-logs/apache_2016_combined_v4v6.log",
        "real-logs/nasa_aug95_common_excerpt.log"}) {
    std::string text;
    const std::string path = agent_test::SharedFile(name);
    // Without the shared folder beside the checkout, the hand log alone.
    if (path.empty()) continue;
    if (!agent_test::ReadWhole(path, &text)) {
      ADD_FAILURE() << "cannot read " << path;
      continue;
    }
    logs.push_back({name, text});
  }
  for (const auto& [name, log] : logs) {
    for (const char* style : {"", "STYLE=MODERN\n"}) {
      SCOPED_TRACE(name + " " + style);
      TempDir plain;
      TempDir summary;
      LogRun without = RunOnLog(plain, log, 'N', std::string(style) + "MAXUSERS=9999\n");
      LogRun with =
          RunOnLog(summary, log, 'N', std::string(style) + "MAXUSERS=9999\nTABLES=SUMMARY\n");
      ASSERT_EQ(with.result.status, 0);
      // Byte for byte but for the time the report was made.
      EXPECT_TRUE(MaskTimes(with.report) == MaskTimes(without.report));
      EXPECT_EQ(WithoutEcho(with.console), without.console);
      EXPECT_EQ(with.result.errors, without.result.errors);
    }
  }
}

// 1,000 hot directories with many hits each, then 5,000 cold ones with one
// hit each: the directory table (1,000 slots) runs full and evicts.
std::string DirectoryFlood() {
  std::string log;
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 1000; ++i) {
      log += Line("10.0.0.1", "01/Oct/2025", "/hot" + std::to_string(i % 20) + "/x", 200, "a");
      log += Line("10.0.0.2", "01/Oct/2025", "/cold" + std::to_string(round * 1000 + i) + "/x", 200,
                  "a");
    }
  }
  return log;
}

TEST(SummaryTables, AFullTableKeepsItsHeavyKeysAndSaysSo) {
  const std::string log = DirectoryFlood();
  TempDir dropped;
  LogRun plain = RunOnLog(dropped, log, 'N', "MAXDIRS=30\n");
  EXPECT_NE(plain.console.find("*ERROR* More than 1000 unique directories"), std::string::npos);

  for (const char* style : {"", "STYLE=MODERN\n"}) {
    SCOPED_TRACE(style);
    TempDir dir;
    LogRun run = RunOnLog(dir, log, 'N', std::string(style) + "MAXDIRS=30\nTABLES=SUMMARY\n");
    ASSERT_EQ(run.result.status, 0);
    EXPECT_NE(run.console.find("Tables: SUMMARY\n"), std::string::npos);
    EXPECT_EQ(run.console.find("*ERROR* More than 1000 unique directories"), std::string::npos);
    // The 20 hot directories and 980 cold ones fill the table by line
    // 1,960; the cold one on line 1,962 is the first to find it full.
    EXPECT_NE(run.console.find("*NOTE* the directory table is full (1000 keys): from record "
                               "1962 on, a new key takes the slot of the fewest hits.\n"),
              std::string::npos)
        << run.console;
    EXPECT_NE(run.result.errors.find(":1962: note: the directory table ran full at 1000 keys "
                                     "here and went on as a summary: "),
              std::string::npos)
        << run.result.errors;
    // Every hot directory (250 hits) is listed, first, with its true count:
    // it was never evicted, so nothing was inherited.
    for (int i = 0; i < 20; ++i) {
      // The modern style lets a key break after its separators.
      const std::string hot = (*style ? "/<wbr>hot" : "/hot") + std::to_string(i);
      size_t at = run.report.find(hot + (*style ? "<td>250<td>" : "</td><td>250</td>"));
      EXPECT_NE(at, std::string::npos) << hot;
    }
    EXPECT_NE(run.report.find("Counts may exceed the true count by at most "), std::string::npos);
    EXPECT_NE(run.report.find(" hits; every key with more hits is listed."), std::string::npos);
    // The user table never ran full: no note there.
    EXPECT_EQ(run.report.find("K bytes may include"), std::string::npos);
    if (*style) {
      EXPECT_NE(run.report.find("<tr><td>1 &#10003;<td>"), std::string::npos);
      EXPECT_NE(run.report.find("&#10003; rank guaranteed</p>"), std::string::npos);
    } else {
      EXPECT_EQ(run.report.find("&#10003;"), std::string::npos);
    }
  }
}

TEST(SummaryTables, DistinctClientsAndVisitors) {
  // Day 1: three clients, one of them with two agents (four visitors);
  // day 2: one client of day 1 with a third agent.
  std::string log = Line("10.0.0.1", "01/Oct/2025", "/a", 200, "x") +
                    Line("10.0.0.1", "01/Oct/2025", "/a", 200, "y") +
                    Line("10.0.0.2", "01/Oct/2025", "/a", 200, "x") +
                    Line("10.0.0.3", "01/Oct/2025", "/a", 200, "x") +
                    Line("10.0.0.3", "01/Oct/2025", "/b", 200, "x") +
                    Line("10.0.0.2", "02/Oct/2025", "/a", 200, "z");
  TempDir classicDir;
  LogRun classic = RunOnLog(classicDir, log, 'N');
  EXPECT_EQ(classic.report.find("Distinct Clients"), std::string::npos);
  EXPECT_EQ(classic.report.find("Visitors"), std::string::npos);

  TempDir withDir;
  LogRun with = RunOnLog(withDir, log, 'N', "DISTINCT=ON\n");
  EXPECT_NE(with.console.find("Distinct counts: ON\n"), std::string::npos);
  EXPECT_NE(with.report.find("<th>Visitors</th>"), std::string::npos) << with.report;
  EXPECT_NE(with.report.find("01/Oct/2025</td><td>5</td><td>4</td>"), std::string::npos);
  EXPECT_NE(with.report.find("02/Oct/2025</td><td>1</td><td>1</td>"), std::string::npos);
  EXPECT_NE(with.report.find("<br>Distinct Clients: 3 \n"), std::string::npos);

  TempDir modernDir;
  LogRun modern = RunOnLog(modernDir, log, 'N', "STYLE=MODERN\ntext68=Clients\ntext69=Visits\n");
  EXPECT_NE(modern.report.find("<dt>Clients</dt><dd>3</dd>"), std::string::npos);
  EXPECT_NE(modern.report.find("<th>Visits"), std::string::npos);
  EXPECT_NE(modern.report.find("01/Oct/2025<td>5<td>4<td>"), std::string::npos) << modern.report;
}

}  // namespace
}  // namespace logvane::testing
