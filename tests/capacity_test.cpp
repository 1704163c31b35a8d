// Whole runs that fill the user table and the name cache: the messages, what
// is kept, the report's capacity note, and a cache file that loses nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "support/markup_check.h"
#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

std::string LineFrom(const std::string& client) {
  return client + " - - [07/Oct/1998:13:55:36 -0700] \"GET /a.html HTTP/1.0\" 200 100\n";
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
  return count;
}

TEST(CapacityRun, MoreUsersThanTheTableHolds) {
  TempDir dir;
  std::string log;
  for (int i = 0; i < 50000; ++i) log += LineFrom("user" + std::to_string(i) + ".example");
  // Three users too many, and one more record of a user the table holds.
  for (const char* client : {"late1.example", "USER17.EXAMPLE", "late2.example", "late3.example"}) {
    log += LineFrom(client);
  }
  LogRun run = RunOnLog(dir, log, 'N', "MAXUSERS=9999\n");
  const std::string full = "*ERROR* too many users - ask for upgrade.\n";
  std::string diagnostics =
      "1000 records\n5,000 records\n10,000 records\n25,000 records\n50,000 records\n";
  diagnostics += full + full + full;
  EXPECT_EQ(run.result.status, 0);
  EXPECT_TRUE(run.console.ends_with(NormalEnd(diagnostics, 50004, false)))
      << run.console.substr(0, 3000);
  EXPECT_EQ(Occurrences(run.console, full), 3u);

  const std::string note =
      "<hr><font size=1>Note: Log file had more than 50,000 users; only first 50,000 "
      "reportable.</font>\n<hr><h5>powered by the ";
  EXPECT_EQ(Occurrences(run.report, note), 1u);
  EXPECT_EQ(CheckOwnMarkup(run.report).problem, "");
  // The held user's second record counted under its first-seen case, first
  // by hits; no late user reached the report.
  EXPECT_NE(run.report.find("<tr><td>1</td><td>user17.example"), std::string::npos)
      << run.report.substr(0, 3000);
  EXPECT_EQ(run.report.find("late"), std::string::npos);
  EXPECT_NE(run.report.find("Total Records(Hits) Processed: 50004 \n"), std::string::npos);
}

TEST(CapacityRun, AFullNameCacheStartsNoLookupAndKeepsEveryRecord) {
  TempDir dir;
  std::string cache;
  for (int i = 0; i < 64000; ++i) {
    cache += "10." + std::to_string(i / 62500) + "." + std::to_string(i / 250 % 250) + "." +
             std::to_string(i % 250 + 1) + ",h" + std::to_string(i) + ".example.de\n";
  }
  WriteFile(dir.File("lvipname.dat"), cache);
  // 10.0.0.1 is cached; the two loopback addresses are not, and find the
  // cache full (were a lookup started, it would stay on this machine).
  std::string log;
  for (const char* client :
       {"10.0.0.1", "10.0.0.1", "10.0.0.1", "127.0.0.2", "127.0.0.2", "127.0.0.3"}) {
    log += LineFrom(client);
  }
  LogRun run = RunOnLog(dir, log, 'Y', "DEBUG=Y\n");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_NE(run.console.find("...... IP name file closed.  64000 records loaded.\n\n"
                             "sorting cache...\n"),
            std::string::npos);
  const std::string full = "*ERROR* Too many IP addrs - ask for free upgrade.\n";
  EXPECT_NE(
      run.console.find("translating names...\n\n\n" + full + full + "generating reports...\n"),
      std::string::npos)
      << run.console;
  EXPECT_EQ(run.console.find("looking up: "), std::string::npos);
  EXPECT_NE(run.report.find("h0.example.de"), std::string::npos);
  EXPECT_NE(run.report.find("127.0.0.2"), std::string::npos);

  // The rewritten file holds every record it held before.
  std::string saved = ReadFile(dir.File("lvipname.dat"));
  auto records = [](const std::string& text) {
    std::multiset<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
  };
  EXPECT_EQ(records(saved), records(cache));
}

}  // namespace
}  // namespace logvane::testing
