// The reading phase on several threads gives, byte for byte, the console,
// report and cache file of the sequential run: over hostile input, every
// failure kind, pieces of long lines, full tables, every setting that
// changes routing, compressed and piped logs, every configured log format.
// Blocks are made tiny so that even short logs cross many block borders.
#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include "support/log_converter.h"
#include "support/log_generator.h"
#include "driver/run_sequence.h"
#include "support/agent_test_data.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

struct Outputs {
  std::string console;
  std::string report;
  std::string cache;
};

enum class Feed { kFile, kGzip, kStandardInput };

struct Case {
  std::string name;
  std::string log;
  std::string params;  // parameter lines beyond the files, lookups and threads
  Feed feed = Feed::kFile;
  int status = 0;  // the run's exit status
};

const char kCache[] = "10.0.0.1,one.example.de\n10.0.0.2,two.example.jp\n192.0.2.9,x.example\n";

// On `machine` when given, else on a FaultEnv that fails nothing.
Outputs RunWith(const TempDir& dir, const Case& c, int threads, size_t blockLines,
                FaultEnv* machine = nullptr) {
  std::string threadsLine = "THREADS=" + std::to_string(threads) + "\n";
  WriteFile(dir.File("lvipname.dat"), kCache);
  std::string input = c.feed == Feed::kStandardInput ? "-" : dir.File("in.log");
  WriteFile(dir.File("p.dat"), "INFILE=" + input + "\nOUTFILE=" + dir.File("out.html") +
                                   "\nLOOKUP=X\n" + threadsLine + c.params);
  std::string text;
  Console console(&text);
  ByteInput stdinput{c.feed == Feed::kStandardInput ? c.log : std::string()};
  FaultEnv platform;
  RunEnvironment env{console, stdinput, machine != nullptr ? *machine : platform,
                     dir.File("lvipname.dat"), blockLines};
  EXPECT_EQ(RunLogvane({dir.File("p.dat")}, env), c.status) << c.name;
  console.Flush();
  // The echo of the keyword itself is the one line that differs.
  std::string echo = "Threads: " + std::to_string(threads) + "\n";
  size_t at = text.find(echo);
  if (at != std::string::npos) text.erase(at, echo.size());
  return {text, ReadFile(dir.File("out.html")), ReadFile(dir.File("lvipname.dat"))};
}

// "" when the texts are equal, else where they part, briefly: reports and
// consoles are long.
std::string Difference(const std::string& got, const std::string& want) {
  if (got == want) return "";
  size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  size_t from = at > 80 ? at - 80 : 0;
  return "at byte " + std::to_string(at) + ":\n got: " + got.substr(from, 160) +
         "\nwant: " + want.substr(from, 160);
}

// Runs `c` sequentially and with each plan of threads and lines per block;
// gives the sequential outputs.
Outputs ExpectSameAsSequential(const Case& c, std::vector<std::pair<int, size_t>> plans = {
                                                  {2, 1}, {2, 3}, {2, 0}, {8, 2}, {8, 7}}) {
  TempDir dir;
  if (c.feed == Feed::kGzip) {
    WriteFile(dir.File("in.log"), GzipText(c.log));
  } else if (c.feed == Feed::kFile) {
    WriteFile(dir.File("in.log"), c.log);
  }
  Outputs sequential = RunWith(dir, c, 1, 0);
  EXPECT_NE(sequential.console.find("completed reading"), std::string::npos) << c.name;
  for (auto [threads, blockLines] : plans) {
    Outputs parallel = RunWith(dir, c, threads, blockLines);
    SCOPED_TRACE(c.name + ": THREADS=" + std::to_string(threads) + ", lines per block " +
                 std::to_string(blockLines));
    EXPECT_EQ(Difference(parallel.console, sequential.console), "");
    EXPECT_EQ(Difference(parallel.report, sequential.report), "");
    EXPECT_EQ(Difference(parallel.cache, sequential.cache), "");
  }
  return sequential;
}

std::string Line(const std::string& client, const std::string& ident, const std::string& date,
                 const std::string& request, const std::string& code, const std::string& bytes,
                 const std::string& extras = " \"ref\" \"agent\"") {
  // Appended piece by piece: gcc 12 warns falsely on long chains of +.
  std::string line = client;
  line.append(" ").append(ident).append(" [").append(date).append(" -0700] \"").append(request);
  line.append("\" ").append(code).append(" ").append(bytes).append(extras).append("\n");
  return line;
}

// A log with repeats and alternations of users, case variants, robots,
// queries, 404s, proxy-style URLs and idents, byte counts near the limits
// of a double's exact integers.
std::string MixedLog(int lines, unsigned seed) {
  std::mt19937 random(seed);
  const char* clients[] = {"10.0.0.1", "10.0.0.2",  "Host.Example", "host.example",
                           "::1",      "192.0.2.9", "10.0.0.1x"};
  const char* idents[] = {"- -", "- alice", "bob -", "- Alice", "-- x"};
  const char* requests[] = {"GET /robots.txt HTTP/1.0", "GET /A/b.html?q=1 HTTP/1.1",
                            "POST /a/B.gif HTTP/1.0",   "GET http://proxy.example/x/y HTTP/1.0",
                            "GET /x.y/z HTTP/1.0",      "HEAD / HTTP/1.0",
                            "GET /Robots.TXT HTTP/1.0"};
  const char* codes[] = {"200", "404", "304", "305", "500", "x"};
  const char* bytes[] = {"100", "-", "9007199254740993", "12345678901234567", "-5", "0"};
  const char* extras[] = {" \"ref\" \"agent\"", " \"http://r.example/\" \"Bot\"", "", " \"only\"",
                          " \"\" \"\""};
  std::string log;
  std::string previous;
  for (int i = 0; i < lines; ++i) {
    std::string client = random() % 3 == 0 && !previous.empty() ? previous : clients[random() % 7];
    previous = client;
    std::string date = std::to_string(1 + random() % 28) +
                       "/Oct/1998:" + std::to_string(10 + random() % 14) + ":55:36";
    log += Line(client, idents[random() % 5], date, requests[random() % 7], codes[random() % 6],
                bytes[random() % 6], extras[random() % 5]);
  }
  return log;
}

TEST(ThreadedReading, HostileInput) {
  std::mt19937 random(17);
  std::string garbage;
  for (int i = 0; i < 60000; ++i) {
    unsigned r = random();
    garbage += r % 23 == 0   ? '\n'
               : r % 29 == 0 ? '['
               : r % 31 == 0 ? '"'
                             : static_cast<char>(r >> 8);
  }
  std::string everyByte;
  for (int b = 0; b < 256; ++b) {
    std::string c(1, static_cast<char>(b));
    everyByte += Line("10.0.0." + c, "- " + c, "0" + c + "/Oct/1998:1" + c + ":00:00",
                      "GET /" + c + "?" + c + " HTTP/1.0", "40" + c, c + "1",
                      " \"" + c + "\" \"" + c + "\"");
  }
  std::string nuls(3000, '\0');
  nuls += "\n" + Line(std::string("10.0\0.1", 7), "- -", "07/Oct/1998:13:00:00", "GET /\0 HTTP/1.0",
                      "200", "1");
  std::string crs;
  for (int i = 0; i < 300; ++i)
    crs += "10.0.0.1 - - [07/Oct/1998:13:00:00] \"GET /a HTTP/1.0\" 200 1\r";
  std::string brackets(5000, '[');
  std::string quotes(5000, '"');
  ExpectSameAsSequential({"garbage", garbage, ""});
  ExpectSameAsSequential({"every byte", everyByte, "USER=FIELD2\nROBOTS=RPT\n"});
  ExpectSameAsSequential({"nuls", nuls, ""});
  ExpectSameAsSequential({"carriage returns", crs, ""});
  ExpectSameAsSequential({"brackets and quotes", brackets + "\n" + quotes + "\n" + brackets, ""});
}

// Every kind of failing line, each at many positions against the block
// borders, between good lines whose users alternate.
TEST(ThreadedReading, EveryFailureKindAtBlockBorders) {
  std::string far(260, 'x');
  const std::string failing[] = {
      "no bracket\n",
      "\n",
      "10.0.0.1 - - [7Oct/1998:13:00:00] \"GET / HTTP/1.0\" 200 1\n",                // bad format
      "10.0.0.1 - - [07/Oct/1998 " + far + "] \"GET / HTTP/1.0\" 200 1\n",           // no hour
      "10.0.0.1 - - [07/Oct/1998:13:00:00] no quote 200 1\n",                        // no page
      "10.0.0.1 - - [07/Oct/1998:13:00:00] " + far + " \"GET / HTTP/1.0\" 200 1\n",  // too far
      "10.0.0.1 - - [07/Oct/1998:13:00:00] \"GET\n",                                 // bad page a
      "10.0.0.1 - - [07/Oct/1998:13:00:00] \"GET /a\n",                              // bad page b
  };
  std::string log;
  for (int round = 0; round < 40; ++round) {
    for (size_t kind = 0; kind < std::size(failing); ++kind) {
      for (int good = 0; good < (round + static_cast<int>(kind)) % 4; ++good) {
        log += Line(good % 2 ? "10.0.0.2" : "10.0.0.1", "- -", "07/Oct/1998:13:00:00",
                    "GET /p" + std::to_string(round) + " HTTP/1.0", "200", "10");
      }
      log += failing[kind];
    }
  }
  ExpectSameAsSequential({"failures", log, ""});
  ExpectSameAsSequential({"failures, proxy", log, "PROXY=ON\n"});
}

// Lines of 1996 to 5000 bytes come in pieces of at most 1997; the pieces
// of one line fall into different blocks.
TEST(ThreadedReading, LongLinesAndLineEnds) {
  std::string log;
  for (size_t length : {1995u, 1996u, 1997u, 1998u, 2500u, 3994u, 5000u}) {
    std::string line = Line("10.0.0.1", "- -", "07/Oct/1998:13:00:00",
                            "GET /" + std::string(length, 'a') + " HTTP/1.0", "200", "1");
    log += line.substr(line.size() - length);  // cut from the front to the length wanted
    log += Line("10.0.0.2", "- -", "08/Oct/1998:13:00:00", "GET /b HTTP/1.0", "200", "2");
    log += std::string(length, '[') + "\r\n";
  }
  std::string crlf;
  for (int i = 0; i < 200; ++i) {
    std::string line = Line(i % 3 ? "10.0.0.1" : "10.0.0.2", "- -", "07/Oct/1998:13:00:00",
                            "GET /c" + std::to_string(i % 7) + " HTTP/1.0", "200", "3");
    line.pop_back();
    crlf.append(line).append("\r\n");
  }
  ExpectSameAsSequential({"long lines", log + "no line end at the end", ""});
  ExpectSameAsSequential({"crlf", crlf, ""});
}

// One log that overflows every table, with the first-seen order, every
// capacity message and every milestone in their places.
TEST(ThreadedReading, EveryTableFullAndEveryMilestone) {
  std::string log;
  for (int i = 0; i < 60000; ++i) {
    int user = i % 7 == 0 ? i - 1 : i;  // every seventh line repeats the previous user
    std::string client = "10." + std::to_string(user / 65536) + "." +
                         std::to_string(user / 256 % 256) + "." + std::to_string(user % 256);
    std::string date = std::to_string(1 + i % 28) + "/Oct/" + std::to_string(1990 + i / 28 % 21) +
                       ":" + std::to_string(10 + i % 90) + ":00:00";
    std::string url = "/d" + std::to_string(i % 1100) + "/p" + std::to_string(i) + ".html";
    log += Line(client, "- -", date, "GET " + url + " HTTP/1.0", i % 5 == 0 ? "404" : "200",
                std::to_string(i),
                " \"r" + std::to_string(i % 3500) + "\" \"a" + std::to_string(i % 2500) + "\"");
    if (i % 997 == 0) log += "\n";  // failing lines on and off the milestones
  }
  std::string console =
      ExpectSameAsSequential({"full tables", log, "MAXUSERS=9999\nMAXPAGES=9999\n"},
                             {{2, 5}, {2, 0}, {8, 13}})
          .console;
  for (const char* message :
       {"*ERROR* too many users", "*ERROR* More than 500 dates.", "*ERROR* More than 24 hours",
        "*ERROR* More than 50000 unique pages", "*ERROR* More than 1000 unique directories",
        "*ERROR* Too many NOT FOUND pages", "*ERROR* More than 3000 unique extra(1)",
        "*ERROR* More than 2000 unique extra(2)", "50,000 records"}) {
    EXPECT_NE(console.find(message), std::string::npos) << message;
  }
}

// Summary tables evict on the counting thread while workers look slots
// up: the same console and report with any threads, over tiny blocks. The
// users, pages and directories run full and come back (a skewed draw of
// keys), and the distinct counts ride along (STYLE=MODERN).
TEST(ThreadedReading, SummaryTablesEvictAlike) {
  std::mt19937 random(11);
  std::string log;
  for (int i = 0; i < 80000; ++i) {
    // Every other line a key seen before, skewed towards the first ones.
    auto skewed = [&](int n) { return random() % 2 == 0 ? random() % (1 + random() % n) : i; };
    // Three users in five are new: the user table runs full too.
    uint32_t user = random() % 5 < 3 ? 100000 + i : static_cast<uint32_t>(skewed(30000));
    std::string client = "10." + std::to_string(user / 65536) + "." +
                         std::to_string(user / 256 % 256) + "." + std::to_string(user % 256);
    std::string date =
        std::to_string(1 + i % 28) + "/Oct/1998:" + std::to_string(10 + i % 14) + ":00:00";
    std::string url = "/d" + std::to_string(skewed(1500)) + "/p" + std::to_string(skewed(70000));
    log += Line(client, "- -", date, "GET " + url + " HTTP/1.0", i % 5 == 0 ? "404" : "200",
                std::to_string(i % 1000),
                " \"r" + std::to_string(skewed(4000)) + "\" \"a" + std::to_string(i % 3) + "\"");
  }
  std::string console = ExpectSameAsSequential({"summary tables", log,
                                                "TABLES=SUMMARY\nSTYLE=MODERN\nMAXUSERS=200\n"
                                                "MAXPAGES=200\nMAXDIRS=200\n"},
                                               {{2, 5}, {2, 0}, {8, 13}})
                            .console;
  for (const char* table : {"user", "page", "directory", "not-found page", "Extra 1"}) {
    EXPECT_NE(console.find(std::string("*NOTE* the ") + table + " table is full"),
              std::string::npos)
        << table;
  }
}

TEST(ThreadedReading, SettingsThatChangeRouting) {
  std::string log = MixedLog(3000, 5);
  const char* settings[] = {
      "ROBOTS=RPT\nUSER=FIELD2\n",
      "PROXY=ON\nROBOTS=RPT\n",
      "SELECT=get /a\nPAGES=FULL\nHOFFSET=-2\n",
      "EXCLUDE_ADDR=10.0.0.1\nEXCLUDE_ADDR=host\nEXCLUDE_TYPE=.gif\n"
      "EXCLUDE_EXTRA1=http\nEXCLUDE_EXTRA2=Bot\nROBOTS=RPT\n",
      "HOFFSET=30\nNO_PAGE\nNO_USER\n",
  };
  for (const char* s : settings) ExpectSameAsSequential({s, log, s});
}

TEST(ThreadedReading, CompressedPipedEmptyAndOneLine) {
  std::string log = MixedLog(2000, 9);
  ExpectSameAsSequential({"gzip", log, "ROBOTS=RPT\n", Feed::kGzip});
  ExpectSameAsSequential({"standard input", log, "ROBOTS=RPT\n", Feed::kStandardInput});
  std::string one = Line("10.0.0.1", "- -", "07/Oct/1998:13:00:00", "GET / HTTP/1.0", "200", "1");
  ExpectSameAsSequential({"empty", "", ""});
  ExpectSameAsSequential({"one line", one, ""});
  ExpectSameAsSequential({"one line without its end", one.substr(0, one.size() - 1), ""});
  ExpectSameAsSequential({"one line, piped", one, "", Feed::kStandardInput});
}

// JSON lines with every escape, requests put together from their parts
// (with and without a method or protocol), lines that do not match, and
// lines longer than a piece.
// Every `longEvery`-th line has a URI of 2000 bytes or more.
std::string JsonLog(int lines, int longEvery = 29) {
  const char* clients[] = {"10.0.0.1", "10.0.0.2", "192.0.2.9"};
  const char* uris[] = {R"(/a\"b\\c/d.html?q=\u00e9)", R"(/x\xffy/\ud83d\ude00.gif)",
                        R"(/Robots.txt)", R"(/e\u0000f/\/g?\t)"};
  std::string escapes;
  for (int i = 0; i < 300; ++i) escapes += R"(\u00e9)";
  std::string log;
  for (int i = 0; i < lines; ++i) {
    std::string line = R"({"time_iso8601":"2024-03-0)" + std::to_string(1 + i % 7) + "T1" +
                       std::to_string(i % 10) + R"(:11:12+01:00","remote_addr":")" +
                       clients[i % 3 == 0 ? 0 : i % 5 % 3] + R"(",)";
    if (i % 4 != 3) line += R"("request_method":"GET",)";
    std::string uri = uris[i % 4] + std::string(i % 13 == 0 ? escapes : "") +
                      (i % longEvery == 0 ? std::string(2000 + i % 1200, 'u') : "");
    line += (i % 6 == 5 ? R"("uri":")" : R"("request_uri":")") + uri + R"(",)";
    if (i % 3 != 2) line += R"("server_protocol":"HTTP/1.1",)";
    line += R"("status":)" + std::to_string(i % 9 == 0 ? 404 : 200) + R"(,"body_bytes_sent":")" +
            std::to_string(i * 7) +
            R"(","http_referer":"r\u0041\"","http_user_agent":"a\\\ud83d\ude00"})" + "\n";
    if (i % 17 == 0) line = line.substr(0, line.size() / 2) + "\n";  // cut
    if (i % 23 == 0) line = "not json " + line;
    log += line;
  }
  return log;
}

// A log in each configured format, read through the threads with the
// result of one.
TEST(ThreadedReading, ConfiguredFormats) {
  // The converter copies the lines it cannot read unchanged: they match no
  // format.
  std::string source = bench::LogGenerator::Generate(1200, 7) + MixedLog(400, 4);
  for (const auto& layout : bench::kLayouts) {
    if (layout.layout == bench::Layout::kCombined) continue;
    std::string format = "LOGFORMAT=" + std::string(layout.logFormat) + "\n";
    ExpectSameAsSequential({std::string(layout.name), bench::ConvertLog(source, layout.layout),
                            format + "ROBOTS=RPT\nUSER=FIELD2\n"});
  }
  ExpectSameAsSequential({"json escapes", JsonLog(600), "LOGFORMAT=JSON\nEXTRA1=remote_addr\n"});
  ExpectSameAsSequential({"json, select", JsonLog(300), "LOGFORMAT=JSON\nSELECT=get /a\"\n"});
  // Long lines fill a block's bytes before its lines.
  ExpectSameAsSequential({"json, long lines", JsonLog(300, 1), "LOGFORMAT=JSON\n"});
}

// The user-agent sections over agents new every few lines, robots,
// EXCLUDE_BOTS and configured formats: the classification runs on the
// preparing threads, the counting in log order, so any plan gives one
// report.
TEST(ThreadedReading, UserAgents) {
  if (!agent_test::CanClassifyHere()) GTEST_SKIP() << "no RE2, libyaml or uap-core here";
  bench::LogShape shape;
  shape.newAgentEvery = 7;
  std::string log = bench::LogGenerator::Generate(2500, 11, shape) + MixedLog(300, 6);
  Outputs plain = ExpectSameAsSequential({"agents", log, "AGENTS=Y\nROBOTS=RPT\n"});
  EXPECT_NE(plain.report.find("<a name=TC>"), std::string::npos);
  ExpectSameAsSequential(
      {"agents, bots excluded", log, "AGENTS=Y\nEXCLUDE_BOTS=Y\nSTYLE=MODERN\nMAXCRAWLERS=999\n"});
  std::string json = bench::ConvertLog(log, bench::Layout::kJson);
  ExpectSameAsSequential({"agents, json", json, "LOGFORMAT=JSON\nAGENTS=Y\nEXTRA2=remote_addr\n"});
}

// Response times (the hours', the pages' and the slowest pages) and the
// date range's skipped records are counted in log order, whatever the
// threads: the generated log runs from 3 November 2026 for four weeks.
TEST(ThreadedReading, ResponseTimesAndDateRanges) {
  const std::string source = bench::LogGenerator::Generate(1500, 9) + MixedLog(300, 2);
  for (const auto& layout : bench::kLayouts) {
    if (layout.layout != bench::Layout::kNginxString && layout.layout != bench::Layout::kJson) {
      continue;
    }
    ExpectSameAsSequential({std::string(layout.name) + ", times and a range",
                            bench::ConvertLog(source, layout.layout),
                            "LOGFORMAT=" + std::string(layout.logFormat) +
                                "\nFROM=2026-11-10T06:00+01:00\nUNTIL=2026-11-20\nMINHITS=2\n"
                                "HOFFSET=3\n"});
  }
  ExpectSameAsSequential(
      {"combined, a range", source, "FROM=2026-11-08\nUNTIL=2026-11-15T12:00\nSELECT=get\n"});
  ExpectSameAsSequential(
      {"mixed, a range", MixedLog(600, 6), "FROM=1998-10-05\nUNTIL=1998-10-20\n"});
}

// A damaged compressed stream ends reading with a read error after the
// lines before the damage, threads or not.
TEST(ThreadedReading, ReadErrorAfterSomeBlocks) {
  std::string log = MixedLog(1500, 3);
  TempDir dir;
  std::string gz = GzipText(log);
  gz.resize(gz.size() * 2 / 3);
  Case c{"damaged gzip", log, "", Feed::kFile, kLogCutShortStatus};
  WriteFile(dir.File("in.log"), gz);
  Outputs sequential = RunWith(dir, c, 1, 0);
  ASSERT_NE(sequential.console.find("Error reading file..."), std::string::npos);
  for (auto [threads, blockLines] : {std::pair<int, size_t>{2, 1}, {2, 0}, {8, 7}}) {
    Outputs parallel = RunWith(dir, c, threads, blockLines);
    EXPECT_EQ(Difference(parallel.console, sequential.console), "");
    EXPECT_EQ(Difference(parallel.report, sequential.report), "");
  }
}

// A machine that starts no thread leaves the whole phase to the calling
// thread, which asks once and then reads alone: the same outputs.
TEST(ThreadedReading, AMachineThatStartsNoThread) {
  TempDir dir;
  Case c{"no thread", MixedLog(600, 5), ""};
  WriteFile(dir.File("in.log"), c.log);
  Outputs sequential = RunWith(dir, c, 1, 0);
  FaultEnv refusing;
  refusing.FailOn(EnvCall::kThread, "", EAGAIN);
  Outputs alone = RunWith(dir, c, 8, 7, &refusing);
  EXPECT_EQ(refusing.Calls(EnvCall::kThread), 1);
  EXPECT_EQ(Difference(alone.console, sequential.console), "");
  EXPECT_EQ(Difference(alone.report, sequential.report), "");
}

}  // namespace
}  // namespace logvane::testing
