// Whole runs with AGENTS: the user-agent sections over the real logs in both
// styles, the user-agent field of each log format, EXCLUDE_BOTS, and every
// way the rules' files can fail, which leaves the report as it is without
// the keyword.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/agent_test_data.h"
#include "support/markup_check.h"
#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

std::string WithoutTime(const std::string& report) {
  return std::regex_replace(report, std::regex("Report Produced: [^\n]*\n"), "");
}

// The rows of the first table after `anchor` as "cell|cell|..." lines.
std::string TableRows(const std::string& report, const std::string& anchor, int table = 0) {
  size_t at = report.find("<a name=" + anchor + ">");
  if (at == std::string::npos) return "(no section)";
  for (int i = 0; i < table; ++i) at = report.find("</table>", at) + 1;
  std::string section = report.substr(at, report.find("</table>", at) - at);
  std::string rows;
  std::regex row("<tr><td>(.*?)</td></tr>");
  for (std::sregex_iterator r(section.begin(), section.end(), row), e; r != e; ++r) {
    std::string cells = std::regex_replace((*r)[1].str(), std::regex("</td><td>"), "|");
    rows += std::regex_replace(cells, std::regex("\\|<img[^>]*>$"), "") + "\n";
  }
  return rows;
}

std::string Line(const std::string& client, const std::string& page, const std::string& agent) {
  return client + " - - [05/Dec/2026:06:08:28 +0100] \"GET " + page +
         " HTTP/1.1\" 200 1000 \"-\" \"" + agent + "\"\n";
}

const char kFirefox[] = "Mozilla/5.0 (X11; Linux x86_64; rv:133.0) Gecko/20100101 Firefox/133.0";
const char kGooglebot[] =
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)";
const char kGptBot[] =
    "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.2; "
    "+https://openai.com/gptbot)";

std::string SmallLog() {
  return Line("10.0.0.1", "/", kFirefox) + Line("10.0.0.1", "/a.html", kFirefox) +
         Line("10.0.0.9", "/", kGooglebot) + Line("10.0.0.1", "/b.html", kFirefox) +
         Line("10.0.0.9", "/a.html", kGooglebot) + Line("10.0.0.7", "/a.html", kGptBot);
}

TEST(AgentSections, RealLogsInBothStyles) {
  if (!agent_test::CanClassifyHere()) GTEST_SKIP() << "no RE2, libyaml or uap-core here";
  struct Case {
    const char* log;
    int64_t withAgent;  // lines that name a user agent
  };
  const Case cases[] = {
      {"real-logs/elastic_apache_combined_2015.log", 9999},  // one agent lacks its quote
      {"real-logs/apache_2016_combined_v4v6.log", -1},
      {"real-logs/nasa_aug95_common_excerpt.log", 0},  // a common log: no agents
  };
  for (const Case& c : cases) {
    const std::string path = agent_test::SharedFile(c.log);
    if (path.empty()) GTEST_SKIP() << "no shared folder beside the checkout";
    const std::string log = ReadFile(path);
    for (const char* style : {"CLASSIC", "MODERN"}) {
      SCOPED_TRACE(std::string(c.log) + ", " + style);
      TempDir dir;
      const std::string styleLine = std::string("STYLE=") + style + "\n";
      LogRun plain = RunOnLog(dir, log, 'N', styleLine);
      LogRun run = RunOnLog(dir, log, 'N', styleLine + "AGENTS=Y\n");
      ASSERT_EQ(run.result.status, 0) << run.result.errors;
      EXPECT_NE(run.console.find("User agents: Y\n"), std::string::npos);
      EXPECT_EQ(CheckOwnMarkup(run.report).problem, "");
      if (c.withAgent == 0) {
        EXPECT_EQ(WithoutTime(run.report), WithoutTime(plain.report));
        continue;
      }
      for (const char* anchor : {"TB", "TO", "TC"}) {
        EXPECT_NE(run.report.find(std::string("href=\"#") + anchor + "\""), std::string::npos);
      }
      if (std::string(style) != "CLASSIC") continue;
      // People, crawlers and AI add up to every line with an agent; the
      // browsers and systems count the same lines.
      int64_t shares = 0;
      std::string summary = TableRows(run.report, "TC");
      std::regex hits("(^|\n)[^|\n]*\\|(\\d+)\\|");
      for (std::sregex_iterator r(summary.begin(), summary.end(), hits), e; r != e; ++r) {
        shares += std::stoll((*r)[2].str());
      }
      std::smatch processed;
      std::regex_search(run.report, processed, std::regex("Processed: (\\d+)"));
      if (c.withAgent > 0) {
        EXPECT_EQ(shares, c.withAgent) << summary;
      }
      EXPECT_GT(shares, std::stoll(processed[1].str()) * 9 / 10) << summary;
      std::smatch unique;
      EXPECT_TRUE(
          std::regex_search(run.report, unique, std::regex("Total Unique Browsers: (\\d+)")));
      EXPECT_NE(TableRows(run.report, "TC", 1).find("|Googlebot|Search-engine crawler|Google|"),
                std::string::npos);
    }
  }
}

// The user agent is the field that holds it, whichever field Extra 2 shows.
TEST(AgentSections, UserAgentFieldOfEachFormat) {
  if (!agent_test::CanClassifyHere()) GTEST_SKIP() << "no RE2, libyaml or uap-core here";
  const std::string combined = SmallLog();
  const std::string json =
      "{\"remote_addr\":\"10.0.0.1\",\"time_local\":\"05/Dec/2026:06:08:28 +0100\","
      "\"request\":\"GET / HTTP/1.1\",\"status\":200,\"body_bytes_sent\":10,"
      "\"user_agent\":\"" +
      std::string(kFirefox) + "\"}\n";
  struct Case {
    const char* name;
    std::string log;
    std::string params;
  };
  const Case cases[] = {
      {"combined", combined, ""},
      {"combined, Extra 2 excluded", combined, "EXCLUDE_EXTRA2=Mozilla\n"},
      {"Apache string, Extra 2 the referrer", combined,
       "LOGFORMAT=%h %l %u %t \"%r\" %>s %b \"%{Referer}i\" \"%{User-agent}i\"\n"
       "EXTRA2=%{Referer}i\n"},
      {"nginx string", combined,
       "LOGFORMAT=$remote_addr - $remote_user [$time_local] \"$request\" $status "
       "$body_bytes_sent \"$http_referer\" \"$http_user_agent\"\n"},
      {"JSON", json, "LOGFORMAT=JSON\nEXTRA2=remote_addr\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    LogRun run = RunOnLog(dir, c.log, 'N', "AGENTS=Y\n" + c.params);
    ASSERT_EQ(run.result.status, 0) << run.result.errors;
    EXPECT_EQ(TableRows(run.report, "TB").substr(0, 10), "1|Firefox|") << run.console;
    EXPECT_NE(TableRows(run.report, "TO").find("|Linux|"), std::string::npos);
  }
}

// EXCLUDE_BOTS: bots count in the crawler section and the shares alone.
TEST(AgentSections, ExcludeBots) {
  if (!agent_test::CanClassifyHere()) GTEST_SKIP() << "no RE2, libyaml or uap-core here";
  TempDir dir;
  LogRun all = RunOnLog(dir, SmallLog(), 'N', "AGENTS=Y\n");
  LogRun people = RunOnLog(dir, SmallLog(), 'N', "AGENTS=Y\nEXCLUDE_BOTS=Y\n");
  ASSERT_EQ(people.result.status, 0) << people.result.errors;
  EXPECT_NE(people.console.find("Exclude bots: Y\n"), std::string::npos);
  EXPECT_EQ(TableRows(all.report, "TU"), "1|10.0.0.1|3|3\n2|10.0.0.9|2|2\n3|10.0.0.7|1|1\n");
  EXPECT_EQ(TableRows(people.report, "TU"), "1|10.0.0.1|3|3\n");
  EXPECT_EQ(TableRows(people.report, "TP"),
            "1|<a href=\"/\">/</a>|1|33.3 %\n"
            "2|<a href=\"/a.html\">/a.html</a>|1|33.3 %\n"
            "3|<a href=\"/b.html\">/b.html</a>|1|33.3 %\n");
  EXPECT_NE(people.report.find("Processed: 6"), std::string::npos);
  EXPECT_EQ(TableRows(people.report, "TB"), "1|Firefox|3|3|100.0 %\n");
  // The crawler section is the same either way.
  EXPECT_EQ(TableRows(people.report, "TC"), TableRows(all.report, "TC"));
  EXPECT_EQ(TableRows(people.report, "TC"),
            "People|3|50.0 %|3|50.0 %\nCrawlers|2|33.3 %|2|33.3 %\n"
            "AI crawlers and agents|1|16.7 %|1|16.7 %\n");
  EXPECT_EQ(TableRows(people.report, "TC", 1),
            "1|Googlebot|Search-engine crawler|Google|2|2|33.3 %\n"
            "2|GPTBot|AI training crawler|OpenAI|1|1|16.7 %\n");
  EXPECT_EQ(TableRows(people.report, "TC", 2), "1|<a href=\"/a.html\">/a.html</a>|1|100.0 %\n");
}

// A file that cannot be used is named with its reason on standard error;
// the run goes on and writes the report it writes without AGENTS.
TEST(AgentSections, FilesThatCannotBeUsed) {
  if (!agent_test::CanClassifyHere()) GTEST_SKIP() << "no RE2, libyaml or uap-core here";
  TempDir dir;
  WriteFile(dir.File("broken.yaml"), "user_agent_parsers:\n  - regex: [unclosed\n");
  WriteFile(dir.File("bad-bots.txt"), "GPTBot, ai-training, GPTBot\nFooBot, robotic\n");
  struct Case {
    std::string params;
    std::string said;  // on standard error
  };
  const Case cases[] = {
      {"AGENTS=" + dir.File("missing.yaml") + "\n",
       dir.File("missing.yaml") + ": cannot read it: No such file"},
      {"AGENTS=" + dir.File("broken.yaml") + "\n", dir.File("broken.yaml") + ":"},
      {"AGENTS=" + dir.path() + "\n", dir.path() + ": cannot read it"},
      {"AGENTS=Y\nBOTS=" + dir.File("none.txt") + "\n", dir.File("none.txt") + ": cannot read it"},
      {"AGENTS=Y\nBOTS=" + dir.File("bad-bots.txt") + "\n", dir.File("bad-bots.txt") + ":"},
  };
  LogRun plain = RunOnLog(dir, SmallLog(), 'N');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    LogRun run = RunOnLog(dir, SmallLog(), 'N', c.params);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_NE(run.console.find("*WARNING* User agents not classified: "), std::string::npos)
        << run.console;
    EXPECT_NE(run.result.errors.find(c.said), std::string::npos) << run.result.errors;
    EXPECT_EQ(UntidyDiagnostics(run.result.errors), "");
    EXPECT_EQ(WithoutTime(run.report), WithoutTime(plain.report));
    // --check reads and parses the same files and says so.
    ProgramResult check = RunProgram(dir.path(), {"--check", "lvparam.dat"});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.errors.find("user agents would not be classified: " + c.said),
              std::string::npos)
        << check.errors;
  }
  WriteFile(dir.File("good.dat"), "INFILE=access.log\nOUTFILE=report.html\nAGENTS=Y\n");
  ProgramResult check = RunProgram(dir.path(), {"--check", "good.dat"});
  EXPECT_EQ(check.status, 0) << check.errors;
  EXPECT_NE(check.output.find("user agents       '/usr/share/uap-core/regexes.yaml'"),
            std::string::npos)
      << check.output;
}

}  // namespace
}  // namespace logvane::testing
