// State files end to end, in-process: a log cut anywhere between lines
// into pieces, each written as a state and merged in order, gives the
// report of one run over the whole log byte for byte (the "Report
// Produced" time aside); inputs counted twice, states counted by other
// rules and bad state files are refused.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <regex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "agents/agent_classifier.h"
#include "driver/run_sequence.h"
#include "intake/log_source.h"
#include "state/state_codec.h"
#include "support/log_generator.h"
#include "state/state_format.h"
#include "support/test_support.h"

namespace logvane {
namespace testing {
struct ScratchForTest {
  Tallies tallies;
  RunCounters counters;
};
}  // namespace testing
namespace {

using testing::GzipText;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct StateRunResult {
  int status = -1;
  std::string console;
  std::string errors;
  std::string report;  // "Report Produced" masked; empty when none
};

std::string Masked(std::string report) {
  return std::regex_replace(report, std::regex("Report Produced[^\n]*"), "Report Produced");
}

// One run in `dir` of the parameter lines `params` (LOOKUP=N is added),
// reading `input` on standard input.
StateRunResult RunParams(const TempDir& dir, const std::string& params,
                         const std::string& input = "", size_t blockLines = 0) {
  WriteFile(dir.File("p.dat"), "LOOKUP=N\n" + params);
  std::remove(dir.File("out.html").c_str());
  StateRunResult run;
  Console console(&run.console);
  Console errors(&run.errors);
  ByteInput in(input);
  FaultEnv machine;
  RunEnvironment env{console, in, machine, dir.File("lvipname.dat")};
  env.diagnostics = &errors;
  env.readBlockLines = blockLines;
  run.status = RunLogvane({dir.File("p.dat")}, env);
  console.Flush();
  errors.Flush();
  if (testing::FileExists(dir.File("out.html")))
    run.report = Masked(ReadFile(dir.File("out.html")));
  return run;
}

// People and machines of every kind the classification tells apart.
const char* const kAgents[] = {
    "Mozilla/5.0 (X11; Linux x86_64; rv:133.0) Gecko/20100101 Firefox/133.0",
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
    "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.2)",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 Chrome/131.0 Safari/537.36",
    "curl/8.5.0",
};

// Rules for AGENTS that a test compiles at once, unlike uap-core's.
const char kSmallRegexes[] =
    "user_agent_parsers:\n  - regex: '(Firefox)/(\\d+)'\n  - regex: '(Chrome)/(\\d+)'\n"
    "os_parsers:\n  - regex: '(Linux)'\n  - regex: 'Windows NT 10'\n    os_replacement: 'Windows'\n"
    "device_parsers:\n  - regex: 'bot'\n    device_replacement: 'Spider'\n";

std::string Line(const std::string& client, const std::string& user, const std::string& day,
                 int hour, const std::string& page, int code, const std::string& extra = "") {
  char h[8];
  std::snprintf(h, sizeof(h), "%02d", hour);
  const std::string agent = extra.empty() ? "Agent" : kAgents[std::stoi(extra) % 5];
  return client + " - " + user + " [" + day + "/Nov/2026:" + h + ":15:00 +0100] \"GET " + page +
         " HTTP/1.1\" " + std::to_string(code) + " " + std::to_string(100 + hour * 7) +
         " \"http://ref.example/" + extra + "\" \"" + agent + "\"\n";
}

// A log with every border kind: runs of one user, users that are prefixes
// of each other (in either case), lines without a client, every failure
// kind, robots, 404s and extras.
std::vector<std::string> BorderLog() {
  std::vector<std::string> lines;
  const char* clients[] = {"10.0.0.1",     "10.0.0.12",    "10.0.0.1",   "10.0.0.1", "10.0.0.12",
                           "Host.Example", "host.example", "10.0.0.123", "10.0.0.12"};
  for (int i = 0; i < 90; ++i) {
    std::string day = std::to_string(10 + i / 30);
    std::string client = clients[i % 9];
    std::string user = i % 4 == 0 ? "alice" : i % 4 == 1 ? "Alice" : "-";
    std::string page =
        i % 11 == 0 ? "/robots.txt" : "/p" + std::to_string(i % 13) + "?q=" + std::to_string(i % 3);
    lines.push_back(
        Line(client, user, day, i % 24, page, i % 7 == 0 ? 404 : 200, std::to_string(i % 5)));
    switch (i % 15) {
      case 3: lines.push_back("no bracket here\n"); break;
      case 5:
        lines.push_back("10.0.0.9 - - [xx/Nov/2026:01:00:00] \"GET / HTTP/1.1\" 200 1\n");
        break;
      case 7: lines.push_back("10.0.0.1 - - [12/Nov/2026 \"GET / HTTP/1.1\" 200 1\n"); break;
      case 9: lines.push_back("10.0.0.12 - - [12/Nov/2026:03:00:00 +0100] 200 1\n"); break;
      case 11:
        lines.push_back(" - - [12/Nov/2026:04:00:00 +0100] \"GET /x HTTP/1.1\" 200 5\n");
        break;
      case 13: lines.push_back("\n"); break;
      default: break;
    }
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to && i < lines.size(); ++i) text += lines[i];
  return text;
}

// Cut points: the borders between pieces, as line numbers.
std::vector<std::vector<size_t>> CutSets(size_t n) {
  std::vector<std::vector<size_t>> sets;
  for (size_t first = 0; first <= 12; ++first) sets.push_back({first, first + 1, first + 2});
  sets.push_back({0});                        // an empty first piece
  sets.push_back({n});                        // an empty last piece
  sets.push_back({5, 5, 40});                 // an empty middle piece
  sets.push_back({n / 3, n / 2, 2 * n / 3});  // larger pieces
  std::vector<size_t> single;
  for (size_t i = 1; i < 20; ++i) single.push_back(i);  // one-line pieces
  sets.push_back(single);
  return sets;
}

struct Rules {
  const char* name;
  std::string params;
  size_t blockLines = 0;
  bool timed = false;  // each line ends in its time taken, read by %D
};

// The log with a time taken after each line's fields: spread over four
// decades, with a "-" now and then.
std::vector<std::string> TimedLog() {
  std::vector<std::string> lines = BorderLog();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    if (line.size() < 2) continue;
    const uint64_t micros = (i * 7919 % 97 + 1) * (i % 4 == 0 ? 1 : i % 4 == 1 ? 100 : 10000);
    line.insert(line.size() - 1, i % 17 == 0 ? " -" : " " + std::to_string(micros));
  }
  return lines;
}

constexpr char kTimedFormat[] =
    "LOGFORMAT=%h %l %u %t \"%r\" %>s %b \"%{Referer}i\" \"%{User-agent}i\" %D\n";

class PieceEquivalence : public ::testing::TestWithParam<Rules> {};

// "{dir}" in a rule's parameters stands for the test's folder, which holds
// kSmallRegexes as regexes.yaml.
std::string InDir(std::string params, const TempDir& dir) {
  for (size_t at; (at = params.find("{dir}")) != std::string::npos;) {
    params.replace(at, 5, dir.path());
  }
  return params;
}

TEST_P(PieceEquivalence, MergedPiecesGiveTheReportOfOneRun) {
  Rules rules = GetParam();
  std::string why;
  if (rules.params.find("AGENTS") != std::string::npos && !CanClassifyAgents(&why)) {
    GTEST_SKIP() << why;
  }
  TempDir dir;
  WriteFile(dir.File("regexes.yaml"), kSmallRegexes);
  rules.params = InDir(rules.params, dir);
  const std::vector<std::string> lines = rules.timed ? TimedLog() : BorderLog();
  WriteFile(dir.File("all.log"), Join(lines, 0, lines.size()));
  StateRunResult whole = RunParams(
      dir,
      rules.params + "INFILE=" + dir.File("all.log") + "\nOUTFILE=" + dir.File("out.html") + "\n",
      "", rules.blockLines);
  ASSERT_EQ(whole.status, 0) << whole.console;
  ASSERT_FALSE(whole.report.empty());
  if (rules.params.find("AGENTS") != std::string::npos) {
    for (const char* shown : {"Firefox", "Windows", "GPTBot", "Googlebot", "curl"}) {
      EXPECT_NE(whole.report.find(shown), std::string::npos) << shown;
    }
  }
  if (rules.timed) {
    ASSERT_NE(whole.report.find("Slowest Pages"), std::string::npos);
    ASSERT_NE(whole.report.find("Requests Without a Time"), std::string::npos);
  }
  // What FROM/UNTIL skipped and kept, as standard error says it.
  auto rangeNote = [](const std::string& errors) {
    size_t at = errors.find(" skipped ");
    return at == std::string::npos ? "" : errors.substr(at, errors.find('\n', at) - at);
  };
  for (const std::vector<size_t>& cuts : CutSets(lines.size())) {
    std::string merges;
    size_t from = 0;
    for (size_t k = 0; k <= cuts.size(); ++k) {
      size_t to = k < cuts.size() ? cuts[k] : lines.size();
      std::string piece = dir.File("piece" + std::to_string(k));
      WriteFile(piece + ".log", Join(lines, from, to));
      StateRunResult written =
          RunParams(dir, rules.params + "INFILE=" + piece + ".log\nSTATEFILE=" + piece + ".state\n",
                    "", rules.blockLines);
      ASSERT_EQ(written.status, 0) << written.console << written.errors;
      EXPECT_TRUE(written.report.empty());
      merges += "MERGE=" + piece + ".state\n";
      from = to;
    }
    std::string where = ::testing::PrintToString(cuts);
    StateRunResult merged =
        RunParams(dir, rules.params + merges + "OUTFILE=" + dir.File("out.html") + "\n");
    ASSERT_EQ(merged.status, 0) << where << merged.console << merged.errors;
    EXPECT_EQ(merged.report, whole.report) << "cut at " << where;
    EXPECT_EQ(rangeNote(merged.errors), rangeNote(whole.errors)) << "cut at " << where;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PieceEquivalence,
    ::testing::Values(
        Rules{"Plain", ""}, Rules{"UserField2", "USER=FIELD2\n"}, Rules{"Proxy", "PROXY=ON\n"},
        Rules{"Select", "SELECT=/p1\n"},
        Rules{"Robots", "ROBOTS=RPT\nPAGES=FULL\nEXCLUDE_TYPE=.txt\n"},
        Rules{"Format", "LOGFORMAT=COMBINED\n"}, Rules{"Threads", "THREADS=3\nHOFFSET=-2\n", 3},
        Rules{"Agents", "AGENTS={dir}/regexes.yaml\n"},
        Rules{"AgentsModernWithoutBots",
              "AGENTS={dir}/regexes.yaml\nEXCLUDE_BOTS=Y\nSTYLE=MODERN\nDISTINCT=ON\nTHREADS=2\n",
              3},
        Rules{"SummaryDistinct", "TABLES=SUMMARY\nDISTINCT=ON\n"},
        Rules{"ModernSummaryDistinct", "STYLE=MODERN\nTABLES=SUMMARY\nDISTINCT=ON\n"},
        Rules{"AgentsSummaryDistinct", "AGENTS={dir}/regexes.yaml\nTABLES=SUMMARY\nDISTINCT=ON\n"},
        Rules{"Times", std::string(kTimedFormat) + "MINHITS=1\n", 0, true},
        Rules{"TimesInRange",
              std::string(kTimedFormat) +
                  "FROM=2026-11-10T06:00\nUNTIL=2026-11-12\nSTYLE=MODERN\nDISTINCT=ON\nMINHITS=2\n",
              0, true},
        Rules{"TimesSummaryDistinct",
              std::string(kTimedFormat) + "TABLES=SUMMARY\nDISTINCT=ON\nSTYLE=MODERN\nMINHITS=1\n",
              0, true}),
    [](const ::testing::TestParamInfo<Rules>& info) { return info.param.name; });

// The last piece read on top of the others' merged states: the incremental
// month.
TEST(StateFiles, LogReadOnTopOfMergedStatesIsTheOneRun) {
  TempDir dir;
  const std::vector<std::string> lines = BorderLog();
  WriteFile(dir.File("all.log"), Join(lines, 0, lines.size()));
  WriteFile(dir.File("a.log"), Join(lines, 0, 50));
  WriteFile(dir.File("b.log"), Join(lines, 50, lines.size()));
  StateRunResult whole =
      RunParams(dir, "INFILE=" + dir.File("all.log") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  ASSERT_EQ(
      RunParams(dir, "INFILE=" + dir.File("a.log") + "\nSTATEFILE=" + dir.File("m.state") + "\n")
          .status,
      0);
  StateRunResult month = RunParams(
      dir, "MERGE=" + dir.File("m.state") + "\nINFILE=" + dir.File("b.log") +
               "\nSTATEFILE=" + dir.File("m.state") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  ASSERT_EQ(month.status, 0) << month.errors;
  EXPECT_EQ(month.report, whole.report);
  // The month's state holds both logs: adding b.log again is refused.
  StateRunResult again =
      RunParams(dir, "MERGE=" + dir.File("m.state") + "\nINFILE=" + dir.File("b.log") +
                         "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_EQ(again.status, 4);
  EXPECT_EQ(again.report, whole.report);
}

// Tables that run full only once merged drop exactly what one run drops;
// a piece whose own table ran full is named on standard error.
TEST(StateFiles, TablesThatFillInTheMergeDropWhatOneRunDrops) {
  TempDir dir;
  std::vector<std::string> lines;
  for (int d = 0; d < 600; ++d) {
    std::string day = std::to_string(1 + d % 28);
    std::string year = std::to_string(2000 + d / 28);
    lines.push_back("10.0.0." + std::to_string(d % 7) + " - - [" + day + "/Jan/" + year +
                    ":10:00:00 +0000] \"GET /d" + std::to_string(d) + " HTTP/1.1\" 200 9\n");
  }
  WriteFile(dir.File("all.log"), Join(lines, 0, lines.size()));
  StateRunResult whole =
      RunParams(dir, "INFILE=" + dir.File("all.log") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  std::string merges;
  for (int k = 0; k < 3; ++k) {
    std::string piece = dir.File("p" + std::to_string(k));
    WriteFile(piece + ".log", Join(lines, k * 200, k * 200 + 200));
    ASSERT_EQ(RunParams(dir, "INFILE=" + piece + ".log\nSTATEFILE=" + piece + ".state\n").status,
              0);
    merges += "MERGE=" + piece + ".state\n";
  }
  StateRunResult merged = RunParams(dir, merges + "OUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_EQ(merged.report, whole.report);
  EXPECT_NE(merged.errors.find("the run's date table is full: 100 keys with 100 hits were dropped"),
            std::string::npos)
      << merged.errors;

  // One piece of 600 days ran full on its own: the merge names it.
  ASSERT_EQ(
      RunParams(dir, "INFILE=" + dir.File("all.log") + "\nSTATEFILE=" + dir.File("f.state") + "\n")
          .status,
      0);
  StateRunResult full =
      RunParams(dir, "MERGE=" + dir.File("f.state") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_NE(full.errors.find(dir.File("f.state") +
                             ": its date table ran full when it was read: 100 hits"),
            std::string::npos)
      << full.errors;
}

// A page new to a full page table brings no times, as in one run: the
// slowest pages of the second piece, past the table's end, stay unranked.
TEST(StateFiles, PagesThatFindTheTableFullDropTheirTimes) {
  TempDir dir;
  std::string first;
  std::string second;
  for (int i = 0; i < 50010; ++i) {
    const bool late = i >= 49995;
    (late ? second : first) += "10.0.0.1 - - [10/Nov/2026:10:00:00 +0000] \"GET /d" +
                               std::to_string(i) + " HTTP/1.1\" 200 9 \"-\" \"-\" " +
                               (late ? std::to_string(900000 + i) : "5") + "\n";
  }
  WriteFile(dir.File("all.log"), first + second);
  WriteFile(dir.File("a.log"), first);
  WriteFile(dir.File("b.log"), second);
  const std::string params = std::string(kTimedFormat) + "MINHITS=1\nMAXSLOW=12\n";
  StateRunResult whole = RunParams(
      dir, params + "INFILE=" + dir.File("all.log") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  for (const char* piece : {"a", "b"}) {
    ASSERT_EQ(RunParams(dir, params + "INFILE=" + dir.File(std::string(piece) + ".log") +
                                 "\nSTATEFILE=" + dir.File(std::string(piece) + ".state") + "\n")
                  .status,
              0);
  }
  StateRunResult merged =
      RunParams(dir, params + "MERGE=" + dir.File("a.state") + "\nMERGE=" + dir.File("b.state") +
                         "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_NE(whole.report.find("/d49999<"), std::string::npos);
  EXPECT_EQ(whole.report.find("/d50000<"), std::string::npos);
  EXPECT_EQ(merged.report, whole.report);
}

TEST(StateFiles, InputsCountedAlreadyAreRefusedAndTheRunGoesOn) {
  TempDir dir;
  const std::vector<std::string> lines = BorderLog();
  const std::string log = Join(lines, 0, lines.size());
  WriteFile(dir.File("a.log"), log);
  WriteFile(dir.File("copy.log.gz"), GzipText(log));
  WriteFile(dir.File("empty.log"), "");
  WriteFile(dir.File("empty2.log"), "");
  StateRunResult once =
      RunParams(dir, "INFILE=" + dir.File("a.log") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  ASSERT_EQ(
      RunParams(dir, "INFILE=" + dir.File("a.log") + "\nSTATEFILE=" + dir.File("a.state") + "\n")
          .status,
      0);
  WriteFile(dir.File("opts"), "");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {"a log and its compressed copy", {dir.File("a.log"), dir.File("copy.log.gz")}, 4},
      {"a log given twice", {dir.File("a.log"), dir.File("a.log")}, 4},
      {"a state and its log", {"--merge=" + dir.File("a.state"), dir.File("a.log")}, 4},
      {"a state given twice",
       {"--merge=" + dir.File("a.state"), "--merge=" + dir.File("a.state")},
       4},
      {"empty inputs are never counted twice",
       {dir.File("a.log"), dir.File("empty.log"), dir.File("empty2.log")},
       0},
  };
  for (const Case& c : cases) {
    StateRunResult run;
    Console console(&run.console);
    Console errors(&run.errors);
    ByteInput in(std::string{});
    FaultEnv machine;
    RunEnvironment env{console, in, machine, dir.File("lvipname.dat")};
    env.diagnostics = &errors;
    std::vector<std::string> args = c.args;
    args.push_back("--output=" + dir.File("out.html"));
    args.push_back("--state=" + dir.File("run.state"));
    run.status = RunLogvane(args, env);
    errors.Flush();
    EXPECT_EQ(run.status, c.status) << c.name << run.errors;
    EXPECT_EQ(Masked(ReadFile(dir.File("out.html"))), once.report) << c.name;
    if (c.status == 4) {
      EXPECT_NE(run.errors.find("is counted already as"), std::string::npos)
          << c.name << run.errors;
    }
  }
}

TEST(StateFiles, StatesCountedByOtherRulesAreRefused) {
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(BorderLog(), 0, 30));
  ASSERT_EQ(RunParams(dir, "EXCLUDE_ADDR=10.0.0.9\nEXCLUDE_ADDR=Host\nINFILE=" + dir.File("a.log") +
                               "\nSTATEFILE=" + dir.File("a.state") + "\n")
                .status,
            0);
  // Order and case of the address exclusions do not change what is counted.
  StateRunResult same =
      RunParams(dir, "EXCLUDE_ADDR=host\nEXCLUDE_ADDR=10.0.0.9\nTITLE=Other\nMAXUSERS=50\nMERGE=" +
                         dir.File("a.state") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_EQ(same.status, 0) << same.errors;
  struct Case {
    std::string params;
    std::string said;
  } cases[] = {
      {"EXCLUDE_ADDR=10.0.0.9\n",
       "EXCLUDE_ADDR=10.0.0.9,host, this run with EXCLUDE_ADDR=10.0.0.9"},
      {"EXCLUDE_ADDR=10.0.0.9\nEXCLUDE_ADDR=host\nHOFFSET=2\n",
       "HOFFSET not set, this run with HOFFSET=2"},
      {"EXCLUDE_ADDR=10.0.0.9\nEXCLUDE_ADDR=host\nUSER=FIELD2\n",
       "USER=FIELD2 not set, this run with USER=FIELD2"},
      {"EXCLUDE_ADDR=10.0.0.9\nEXCLUDE_ADDR=host\nTABLES=SUMMARY\n",
       "TABLES=SUMMARY not set, this run with TABLES=SUMMARY"},
      {"EXCLUDE_ADDR=10.0.0.9\nEXCLUDE_ADDR=host\nDISTINCT=ON\n",
       "DISTINCT=ON not set, this run with DISTINCT=ON"},
  };
  for (const Case& c : cases) {
    StateRunResult run = RunParams(dir, c.params + "MERGE=" + dir.File("a.state") +
                                            "\nOUTFILE=" + dir.File("out.html") +
                                            "\nSTATEFILE=" + dir.File("b.state") + "\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
    EXPECT_TRUE(run.report.empty());
    EXPECT_FALSE(testing::FileExists(dir.File("b.state")));
  }
}

TEST(StateFiles, BadStateFilesEndTheRunBeforeAnythingIsWritten) {
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(BorderLog(), 0, 40));
  ASSERT_EQ(
      RunParams(dir, "INFILE=" + dir.File("a.log") + "\nSTATEFILE=" + dir.File("a.state") + "\n")
          .status,
      0);
  const std::string good = ReadFile(dir.File("a.state"));
  std::string flipped = good;
  flipped[200] = static_cast<char>(flipped[200] ^ 0x40);
  std::string newer = good;
  newer[8] = 2;
  std::string bigEndian = good;
  std::swap(bigEndian[12], bigEndian[15]);
  std::swap(bigEndian[13], bigEndian[14]);
  struct Case {
    const char* name;
    std::string bytes;
    std::string said;
  } cases[] = {
      {"cut in the header", good.substr(0, 10), "byte 10: the state is cut short in its header"},
      {"cut in a section", good.substr(0, 300),
       "byte 300: the state is cut short inside a section"},
      {"cut before its END", good.substr(0, good.size() - 24),
       "the state is cut short (no END section)"},
      {"a damaged byte", flipped, "does not match its checksum"},
      {"a newer format", newer, "byte 8: state format 2.0 was made by a newer Logvane"},
      {"the other byte order", bigEndian, "byte 12: written in the other byte order"},
      {"not a state", "hello\n", "byte 0: not a Logvane state file"},
      {"empty", "", "byte 0: holds no state"},
  };
  for (const Case& c : cases) {
    WriteFile(dir.File("bad.state"), c.bytes);
    WriteFile(dir.File("keep.state"), "old");
    StateRunResult run =
        RunParams(dir, "MERGE=" + dir.File("bad.state") + "\nOUTFILE=" + dir.File("out.html") +
                           "\nSTATEFILE=" + dir.File("keep.state") + "\n");
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_NE(run.errors.find("logvane: " + dir.File("bad.state") + ": byte "), std::string::npos)
        << c.name << ": " << run.errors;
    EXPECT_NE(run.errors.find(c.said), std::string::npos) << c.name << ": " << run.errors;
    EXPECT_NE(run.console.find("*ERROR* Could not read state file."), std::string::npos) << c.name;
    EXPECT_TRUE(run.report.empty()) << c.name;
    EXPECT_EQ(ReadFile(dir.File("keep.state")), "old") << c.name;
  }
  StateRunResult missing = RunParams(
      dir, "MERGE=" + dir.File("none.state") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.errors.find(dir.File("none.state") + ": byte 0: cannot open: No such file"),
            std::string::npos)
      << missing.errors;
}

// The user-agent settings are compared by what the rules were read from:
// the same regexes at another path merge, other regexes, EXCLUDE_BOTS or a
// BOTS file are refused by name; a run whose rules cannot be used counts as
// one without AGENTS, and says so in its state.
TEST(StateFiles, StatesCountedByOtherAgentRulesAreRefused) {
  std::string why;
  if (!CanClassifyAgents(&why)) GTEST_SKIP() << why;
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(BorderLog(), 0, 30));
  WriteFile(dir.File("regexes.yaml"), kSmallRegexes);
  WriteFile(dir.File("copy.yaml"), kSmallRegexes);
  WriteFile(dir.File("other.yaml"), std::string(kSmallRegexes) + "  - regex: 'curl'\n");
  WriteFile(dir.File("bots.txt"), "FooBot, bot, Foo\n");
  const std::string agents = "AGENTS=" + dir.File("regexes.yaml") + "\nEXCLUDE_BOTS=Y\n";
  ASSERT_EQ(RunParams(dir, agents + "INFILE=" + dir.File("a.log") +
                               "\nSTATEFILE=" + dir.File("a.state") + "\n")
                .status,
            0);
  ASSERT_EQ(RunParams(dir, "AGENTS=" + dir.File("missing.yaml") + "\nINFILE=" + dir.File("a.log") +
                               "\nSTATEFILE=" + dir.File("unclassified.state") + "\n")
                .status,
            0);
  struct Case {
    std::string params;
    std::string state;
    std::string said;  // empty: merged
  } cases[] = {
      {"AGENTS=" + dir.File("copy.yaml") + "\nEXCLUDE_BOTS=Y\n", "a.state", ""},
      {"", "unclassified.state", ""},
      {"", "a.state", "the state was counted with AGENTS=regexes "},
      {"EXCLUDE_BOTS=Y\nAGENTS=" + dir.File("other.yaml") + "\n", "a.state",
       ", this run with AGENTS=regexes "},
      {"AGENTS=" + dir.File("regexes.yaml") + "\n", "a.state",
       "EXCLUDE_BOTS=ON, this run with EXCLUDE_BOTS not set"},
      {agents + "BOTS=" + dir.File("bots.txt") + "\n", "a.state",
       "BOTS not set, this run with BOTS="},
      {agents, "unclassified.state", "AGENTS not set, this run with AGENTS=regexes "},
  };
  for (const Case& c : cases) {
    StateRunResult run = RunParams(
        dir, c.params + "MERGE=" + dir.File(c.state) + "\nOUTFILE=" + dir.File("out.html") + "\n");
    EXPECT_EQ(run.status, c.said.empty() ? 0 : 1) << c.params << run.errors;
    EXPECT_NE(run.errors.find(c.said), std::string::npos) << c.params << run.errors;
    EXPECT_EQ(run.report.empty(), !c.said.empty()) << c.params;
  }
}

// A state's sections, to be damaged one at a time and framed again.
struct StateSection {
  uint32_t kind;
  uint32_t flags;
  std::string payload;
};

uint64_t Little(const std::string& bytes, size_t at, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v |= uint64_t{static_cast<uint8_t>(bytes[at + i])} << 8 * i;
  return v;
}

void PutLittle(std::string& bytes, size_t at, size_t width, uint64_t v) {
  for (size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(v >> 8 * i);
}

std::vector<StateSection> SectionsOf(const std::string& state) {
  std::vector<StateSection> sections;
  for (size_t at = kStateHeaderSize; at + kSectionHeaderSize <= state.size();) {
    const size_t length = Little(state, at + 8, 8);
    sections.push_back({static_cast<uint32_t>(Little(state, at, 4)),
                        static_cast<uint32_t>(Little(state, at + 4, 4)),
                        state.substr(at + kSectionHeaderSize, length)});
    at += kSectionHeaderSize + length + 8;
  }
  sections.pop_back();  // END
  return sections;
}

std::string Framed(const std::vector<StateSection>& sections) {
  std::string out;
  AppendStateHeader(&out);
  for (const StateSection& s : sections) AppendSection(&out, s.kind, s.flags, s.payload);
  AppendEndSection(&out);
  return out;
}

// What DecodeState says of `state`; "" when it reads.
std::string DecodeFault(const TempDir& dir, const std::string& state) {
  WriteFile(dir.File("x.state"), state);
  SystemEnv machine;
  std::unique_ptr<LogSource> source;
  if (!OpenLogFile(machine, dir.File("x.state"), &source).ok()) return "cannot open";
  StateStream stream(*source, "x.state");
  auto tally = std::make_unique<testing::ScratchForTest>();
  StateFacts facts;
  bool atEnd = false;
  Status s = DecodeState(stream, tally->tallies, tally->counters, &facts, &atEnd);
  return s.ok() ? "" : StateFaultText(s);
}

// A table of one entry as the state writes it: key, hits, then `rest`.
std::string OneEntry(const std::string& key, int64_t hits,
                     const std::function<void(PayloadWriter&)>& rest) {
  PayloadWriter w;
  w.U64(1);
  w.I64(0);
  w.Bool(false);
  w.Text(key);
  w.I64(hits);
  rest(w);
  return w.bytes();
}

// Each user-agent section refuses what no run writes, with the reason.
TEST(StateFiles, DamagedUserAgentSectionsAreRefused) {
  std::string why;
  if (!CanClassifyAgents(&why)) GTEST_SKIP() << why;
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(BorderLog(), 0, 30));
  WriteFile(dir.File("regexes.yaml"), kSmallRegexes);
  for (const char* name : {"agents", "plain"}) {
    const std::string rules =
        std::string(name) == "agents" ? "AGENTS=" + dir.File("regexes.yaml") + "\n" : "";
    ASSERT_EQ(RunParams(dir, rules + "INFILE=" + dir.File("a.log") +
                                 "\nSTATEFILE=" + dir.File(std::string(name) + ".state") + "\n")
                  .status,
              0);
  }
  const std::vector<StateSection> good = SectionsOf(ReadFile(dir.File("agents.state")));
  const std::vector<StateSection> plain = SectionsOf(ReadFile(dir.File("plain.state")));
  ASSERT_EQ(good.size(), plain.size() + 4);
  ASSERT_EQ(DecodeFault(dir, Framed(good)), "");
  auto classes = [](int64_t firstHits, bool trailing) {
    PayloadWriter w;
    for (int c = 0; c < 7; ++c) {
      w.I64(c == 0 ? firstHits : 0);
      w.F64(0);
    }
    if (trailing) w.U8(0);
    return w.bytes();
  };
  auto family = [](int64_t firstLine) {
    return [firstLine](PayloadWriter& w) {
      w.F64(10);
      w.I64(firstLine);
    };
  };
  auto crawler = [](int cls, size_t operatorBytes) {
    return [=](PayloadWriter& w) {
      w.F64(10);
      w.I64(1);
      w.U8(static_cast<uint8_t>(cls));
      w.Text(std::string(operatorBytes, 'o'));
    };
  };
  const std::string noSystems = std::string(8, '\0') + std::string(8, '\0') + '\0';
  PayloadWriter twice;
  twice.U64(2);
  twice.I64(0);
  twice.Bool(false);
  for (const char* key : {"Firefox", "Chrome"}) {
    twice.Text(key);
    twice.I64(1);
    twice.F64(1);
    twice.I64(3);
  }
  PayloadWriter tooMany;
  tooMany.U64(1001);
  struct Case {
    const char* name;
    uint32_t kind;
    std::string payload;
    std::string said;
  } cases[] = {
      {"a negative class count", 28, classes(-1, false), "a negative count (-1)"},
      {"bytes after the classes", 28, classes(1, true), "1 bytes after the section's last value"},
      {"a family before the first line", 29, OneEntry("Firefox", 1, family(0)) + noSystems,
       "a first line (0) outside the state's"},
      {"a family after the last line", 29, OneEntry("Firefox", 1, family(100000)) + noSystems,
       "a first line (100000) outside the state's"},
      {"two families of one first line", 29, twice.bytes() + noSystems,
       "two entries of one table begin at line 3"},
      {"more browsers than the table holds", 29, tooMany.bytes(),
       "a count of 1001, more than the 1000"},
      {"no systems table", 29, OneEntry("Firefox", 1, family(1)),
       "the section ends inside a value"},
      {"a human crawler", 30, OneEntry("X", 1, crawler(0, 0)), "which is no bot class"},
      {"a class past the last", 30, OneEntry("X", 1, crawler(7, 0)), "a crawler of class 7"},
      {"an operator too long", 30, OneEntry("X", 1, crawler(1, 65)), "65"},
      {"an AI page of no hits", 31, OneEntry("/", 0, [](PayloadWriter&) {}),
       "an entry with 0 hits"},
  };
  for (const Case& c : cases) {
    std::vector<StateSection> bad = good;
    for (StateSection& s : bad) {
      if (s.kind == c.kind) s.payload = c.payload;
    }
    EXPECT_NE(DecodeFault(dir, Framed(bad)).find(c.said), std::string::npos)
        << c.name << ": " << DecodeFault(dir, Framed(bad));
  }
  // The sections belong to a state counted with AGENTS, flagged skippable,
  // all four.
  std::vector<StateSection> stray = plain;
  stray.push_back(good[good.size() - 4]);
  std::vector<StateSection> unflagged = good;
  unflagged.back().flags = 0;
  std::vector<StateSection> shortOne(good.begin(), good.end() - 1);
  const std::pair<std::vector<StateSection>, std::string> structural[] = {
      {stray, "section 28 holds user-agent tallies, but the state was counted without AGENTS"},
      {unflagged, "section 31 is out of place"},
      {shortOne, "the state ends without its section 31"},
  };
  for (const auto& [sections, said] : structural) {
    EXPECT_NE(DecodeFault(dir, Framed(sections)).find(said), std::string::npos)
        << said << ": " << DecodeFault(dir, Framed(sections));
  }
}

StateSection& SectionOf(std::vector<StateSection>& sections, uint32_t kind) {
  for (StateSection& s : sections) {
    if (s.kind == kind) return s;
  }
  ADD_FAILURE() << "no section " << kind;
  return sections.front();
}

const std::string kRangeParams = std::string(kTimedFormat) + "FROM=2026-11-10T06:00\n";

using Damage = std::function<void(std::vector<StateSection>&)>;

struct DamageCase {
  const char* name;
  Damage damage;
  std::string said;
};

// Damage to each section of the times and the range, and what is said.
std::vector<DamageCase> TimesDamages() {
  auto poke = [](uint32_t kind, size_t at, size_t width, uint64_t v) -> Damage {
    return
        [=](std::vector<StateSection>& s) { PutLittle(SectionOf(s, kind).payload, at, width, v); };
  };
  return {
      {"negative skipped count", poke(kDateRangeSection, 0, 8, uint64_t(-3)),
       "a negative count (-3)"},
      {"a kept time in month 13", poke(kDateRangeSection, 20, 4, 13),
       "a kept record's time that no log gives"},
      {"an hour slot not in use", poke(kHourTimesSection, 24, 8, 99),
       "times for slot 99, not a slot in use"},
      {"an hour timed more often than hit", poke(kHourTimesSection, 32, 8, 1000),
       "timed 1000 times, with"},
      {"an hour sketch's count not its buckets'",
       [](std::vector<StateSection>& s) {
         std::string& p = SectionOf(s, kHourTimesSection).payload;
         PutLittle(p, 80, 8, Little(p, 80, 8) + 1);
       },
       "a response-time sketch that no set of times gives"},
      {"a bucket past the last", poke(kHourTimesSection, 72, 4, 5000),
       "bucket 5000 out of order or out of range"},
      {"more hours than the table holds", poke(kHourTimesSection, 16, 8, 26),
       "a count of 26, more than the 25 there can be"},
      {"a page slot twice",
       [](std::vector<StateSection>& s) {
         std::string& p = SectionOf(s, kPageTimesSection).payload;
         const size_t second = 52 + 8 * Little(p, 44, 8);
         PutLittle(p, second, 8, Little(p, 8, 8));
       },
       "not a slot in use after the one before"},
      {"a page window not where its values put it", poke(kPageTimesSection, 40, 4, 7),
       "a response-time sketch that no set of times gives"},
      {"bytes after the last page",
       [](std::vector<StateSection>& s) { SectionOf(s, kPageTimesSection).payload += "x"; },
       "1 bytes after the section's last value"},
      {"the times without their skip flag",
       [](std::vector<StateSection>& s) { SectionOf(s, kHourTimesSection).flags = 0; },
       "section 33 is out of place"},
      {"pages before hours",
       [](std::vector<StateSection>& s) { std::swap(s[s.size() - 1], s[s.size() - 2]); },
       "section 33 is out of place"},
  };
}

// Each section of the times and the range refuses what no run writes.
TEST(StateFiles, DamagedTimesAndRangeSectionsAreRefusedWithTheReason) {
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(TimedLog(), 0, 60));
  ASSERT_EQ(RunParams(dir, kRangeParams + "INFILE=" + dir.File("a.log") +
                               "\nSTATEFILE=" + dir.File("a.state") + "\n")
                .status,
            0);
  const std::vector<StateSection> good = SectionsOf(ReadFile(dir.File("a.state")));
  for (const DamageCase& c : TimesDamages()) {
    std::vector<StateSection> sections = good;
    c.damage(sections);
    WriteFile(dir.File("bad.state"), Framed(sections));
    StateRunResult run = RunParams(dir, kRangeParams + "MERGE=" + dir.File("bad.state") +
                                            "\nOUTFILE=" + dir.File("out.html") + "\n");
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_NE(run.errors.find(c.said), std::string::npos) << c.name << ": " << run.errors;
    EXPECT_TRUE(run.report.empty()) << c.name;
  }
  // The sections framed again as they were still merge.
  WriteFile(dir.File("same.state"), Framed(good));
  EXPECT_EQ(RunParams(dir, kRangeParams + "MERGE=" + dir.File("same.state") +
                               "\nOUTFILE=" + dir.File("out.html") + "\n")
                .status,
            0);
}

// FROM, UNTIL and TIMEFIELD change what is counted; the times' report
// keywords do not.
TEST(StateFiles, RangesAndTheTimeFieldMustBeTheMergingRunsOwn) {
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(TimedLog(), 0, 60));
  ASSERT_EQ(RunParams(dir, kRangeParams + "INFILE=" + dir.File("a.log") +
                               "\nSTATEFILE=" + dir.File("a.state") + "\n")
                .status,
            0);
  const std::string format = kTimedFormat;
  struct Case {
    std::string params;
    int status;
    std::string said;
  } cases[] = {
      {kRangeParams + "NO_TIMES\nMINHITS=3\nMAXSLOW=5\n", 0, ""},
      {format + "FROM=2026-11-10T06:00:00\n", 0, ""},
      {format, 1, "counted with FROM=2026-11-10T06:00:00, this run with FROM not set"},
      {format + "FROM=2026-11-10\n", 1, "this run with FROM=2026-11-10T00:00:00"},
      {format + "FROM=2026-11-10T06:00Z\n", 1, "this run with FROM=2026-11-10T06:00:00Z"},
      {kRangeParams + "UNTIL=2026-11-12\n", 1, "this run with UNTIL=2026-11-13T00:00:00"},
      {kRangeParams + "TIMEFIELD=%D\n", 1, "TIMEFIELD not set, this run with TIMEFIELD=%D"},
  };
  for (const Case& c : cases) {
    StateRunResult run = RunParams(dir, c.params + "MERGE=" + dir.File("a.state") +
                                            "\nOUTFILE=" + dir.File("out.html") + "\n");
    EXPECT_EQ(run.status, c.status) << c.params << run.errors;
    EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
  }
}

TEST(StateFiles, OverlappingInputsOfOneSourceAreNamed) {
  TempDir dir;
  const std::vector<std::string> lines = BorderLog();
  WriteFile(dir.File("a.log"), Join(lines, 0, 60));
  WriteFile(dir.File("b.log"), Join(lines, 30, 90));  // the same days again, other bytes
  WriteFile(dir.File("c.log"), Join(lines, 60, 90));
  StateRunResult overlap =
      RunParams(dir, "INFILE=" + dir.File("a.log") + "\nSTATEFILE=" + dir.File("s") + "\n");
  ASSERT_EQ(overlap.status, 0);
  StateRunResult run = RunParams(dir, "MERGE=" + dir.File("s") + "\nINFILE=" + dir.File("b.log") +
                                          "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.errors.find("overlaps"), std::string::npos) << run.errors;
  // Another source is another server: no warning.
  StateRunResult other =
      RunParams(dir, "SOURCE=web2\nMERGE=" + dir.File("s") + "\nINFILE=" + dir.File("b.log") +
                         "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_EQ(other.errors.find("overlaps"), std::string::npos) << other.errors;
}

TEST(StateFiles, StateOnlyRunsAskForNothingAndLeaveTheCacheAlone) {
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(BorderLog(), 0, 20));
  WriteFile(dir.File("lvipname.dat"), "10.0.0.1,one.example\n");
  WriteFile(dir.File("q.dat"),
            "LOOKUP=Y\nINFILE=" + dir.File("a.log") + "\nSTATEFILE=" + dir.File("a.state") + "\n");
  std::string text;
  Console console(&text);
  ByteInput in(std::string{});
  FaultEnv machine;
  RunEnvironment env{console, in, machine, dir.File("lvipname.dat")};
  EXPECT_EQ(RunLogvane({dir.File("q.dat")}, env), 0);
  console.Flush();
  EXPECT_EQ(text.find("Enter the output filename"), std::string::npos) << text;
  EXPECT_EQ(text.find("IP name"), std::string::npos) << text;
  EXPECT_NE(text.find("State file: " + dir.File("a.state")), std::string::npos);
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), "10.0.0.1,one.example\n");
}

// The state file at `path` decoded into `tally`.
bool DecodeFile(const std::string& path, testing::ScratchForTest& tally) {
  SystemEnv machine;
  std::unique_ptr<LogSource> source;
  if (!OpenLogFile(machine, path, &source).ok()) return false;
  StateStream stream(*source, path);
  StateFacts facts;
  bool atEnd = false;
  return DecodeState(stream, tally.tallies, tally.counters, &facts, &atEnd).ok() && !atEnd;
}

// A Zipf log whose user and page tables evict in every piece. Through the
// pieces' states merged, every true top-50 user and page is held with a
// count at most the merged bound above its truth, and the distinct counts
// (estimated: past the exact form) are those of one run over the whole log.
constexpr size_t kZipfLines = 300000;
constexpr size_t kZipfPieces = 3;

struct ZipfLog {
  std::string pieces[kZipfPieces];  // one day each
  std::unordered_map<std::string, int64_t> users;
  std::unordered_map<std::string, int64_t> pages;
};

// Half the lines bring a new client, the other half a new page: more keys
// than the tables hold in each piece; the rest are Zipf draws.
std::unique_ptr<ZipfLog> MakeZipfLog() {
  auto log = std::make_unique<ZipfLog>();
  bench::Random random(5);
  bench::ZipfSampler userZipf(kZipfLines / 2, 1.0);
  bench::ZipfSampler pageZipf(kZipfLines / 2, 0.9);
  for (size_t i = 0; i < kZipfLines; ++i) {
    const std::string user =
        std::string("h").append(std::to_string(i % 2 == 0 ? i / 2 : userZipf.Sample(random)));
    const std::string page =
        std::string("/p").append(std::to_string(i % 2 == 1 ? i / 2 : pageZipf.Sample(random)));
    ++log->users[user];
    ++log->pages[page];
    const size_t piece = i * kZipfPieces / kZipfLines;
    log->pieces[piece] += Line(user, "-", std::to_string(10 + piece), i % 24, page, 200);
  }
  return log;
}

// Every true top-50 key of `truth` is in `table` with a count at most the
// table's bound above its true one.
template <typename Table>
void ExpectTopHeld(const Table& table, const std::unordered_map<std::string, int64_t>& truth) {
  const int64_t bound = SummaryBound(table.summary);
  EXPECT_GT(bound, 0);
  EXPECT_LE(bound, static_cast<int64_t>(kZipfLines / Table::kCapacity));
  std::vector<std::pair<int64_t, std::string>> ranked;
  for (const auto& [key, hits] : truth) ranked.push_back({hits, key});
  std::partial_sort(ranked.begin(), ranked.begin() + 50, ranked.end(), std::greater<>());
  std::unordered_map<std::string, int64_t> held;
  for (size_t i = 0; i < table.used; ++i) {
    held[std::string(table.slots[i].key.view())] = table.slots[i].hits;
  }
  for (size_t r = 0; r < 50; ++r) {
    const auto& [hits, key] = ranked[r];
    auto it = held.find(key);
    ASSERT_NE(it, held.end()) << "rank " << r + 1 << ": " << key;
    EXPECT_GE(it->second, hits) << key;
    EXPECT_LE(it->second - hits, bound) << key;
  }
}

TEST(StateFiles, SummariesAndDistinctCountsMergeFromStates) {
  TempDir dir;
  const std::unique_ptr<ZipfLog> log = MakeZipfLog();
  const std::string params = "TABLES=SUMMARY\nDISTINCT=ON\n";
  std::string merges;
  for (size_t k = 0; k < kZipfPieces; ++k) {
    const std::string piece = dir.File("z" + std::to_string(k));
    WriteFile(piece + ".log", log->pieces[k]);
    ASSERT_EQ(
        RunParams(dir, params + "INFILE=" + piece + ".log\nSTATEFILE=" + piece + ".state\n").status,
        0);
    merges += "MERGE=" + piece + ".state\n";
  }
  WriteFile(dir.File("all.log"), log->pieces[0] + log->pieces[1] + log->pieces[2]);
  ASSERT_EQ(RunParams(dir, params + "INFILE=" + dir.File("all.log") +
                               "\nSTATEFILE=" + dir.File("whole.state") + "\n")
                .status,
            0);
  StateRunResult merging =
      RunParams(dir, params + merges + "STATEFILE=" + dir.File("merged.state") + "\n");
  ASSERT_EQ(merging.status, 0) << merging.errors;
  auto whole = std::make_unique<testing::ScratchForTest>();
  auto merged = std::make_unique<testing::ScratchForTest>();
  for (size_t k = 0; k < kZipfPieces; ++k) {
    ASSERT_TRUE(DecodeFile(dir.File("z" + std::to_string(k) + ".state"), *whole));
    EXPECT_TRUE(SummaryEvicted(whole->tallies.users.summary)) << k;
    EXPECT_TRUE(SummaryEvicted(whole->tallies.pages.summary)) << k;
  }
  ASSERT_TRUE(DecodeFile(dir.File("whole.state"), *whole));
  ASSERT_TRUE(DecodeFile(dir.File("merged.state"), *merged));
  ExpectTopHeld(merged->tallies.users, log->users);
  ExpectTopHeld(merged->tallies.pages, log->pages);

  const DistinctTallies& one = *whole->tallies.distinct;
  const DistinctTallies& sum = *merged->tallies.distinct;
  EXPECT_FALSE(DistinctIsExact(sum.clients));
  EXPECT_TRUE(SameDistinct(sum.clients, one.clients));
  const double truth = static_cast<double>(log->users.size());
  EXPECT_NEAR(DistinctEstimate(sum.clients), truth, 3 * kDistinctStandardError * truth);
  ASSERT_EQ(merged->tallies.dates.used, kZipfPieces);
  for (size_t d = 0; d < kZipfPieces; ++d) {
    EXPECT_TRUE(SameDistinct(sum.dayClients[d], one.dayClients[d])) << d;
    EXPECT_TRUE(SameDistinct(sum.dayVisitors[d], one.dayVisitors[d])) << d;
  }
}

// A modern report counts distinct clients itself; from states made without
// DISTINCT=ON it cannot, and shows none rather than a part.
TEST(StateFiles, StatesWithoutDistinctCountsGiveAModernReportWithoutThem) {
  TempDir dir;
  const std::vector<std::string> lines = BorderLog();
  WriteFile(dir.File("a.log"), Join(lines, 0, 50));
  WriteFile(dir.File("b.log"), Join(lines, 50, lines.size()));
  const std::string modern = "STYLE=MODERN\ntext68=Clients\nOUTFILE=" + dir.File("out.html") + "\n";
  StateRunResult read = RunParams(
      dir, modern + "INFILE=" + dir.File("a.log") + "\nSTATEFILE=" + dir.File("a.state") + "\n");
  ASSERT_EQ(read.status, 0);
  EXPECT_NE(read.report.find("<dt>Clients</dt>"), std::string::npos);
  EXPECT_NE(read.report.find("Visitors"), std::string::npos);
  StateRunResult merged = RunParams(
      dir, modern + "MERGE=" + dir.File("a.state") + "\nINFILE=" + dir.File("b.log") + "\n");
  ASSERT_EQ(merged.status, 0) << merged.errors;
  EXPECT_EQ(merged.report.find("<dt>Clients</dt>"), std::string::npos);
  EXPECT_EQ(merged.report.find("Visitors"), std::string::npos);
}

// The state `bytes` with each section handed to `edit` (its payload and
// flags, and whether it stays) and checksummed again.
using SectionEdit =
    std::function<void(uint32_t kind, std::string& payload, uint32_t& flags, bool& keep)>;
std::string EditSections(const std::string& bytes, const SectionEdit& edit) {
  std::string out = bytes.substr(0, kStateHeaderSize);
  for (size_t at = kStateHeaderSize; at + kSectionHeaderSize <= bytes.size();) {
    uint32_t kind = 0;
    uint32_t flags = 0;
    uint64_t length = 0;
    std::memcpy(&kind, bytes.data() + at, 4);
    std::memcpy(&flags, bytes.data() + at + 4, 4);
    std::memcpy(&length, bytes.data() + at + 8, 8);
    std::string payload = bytes.substr(at + kSectionHeaderSize, length);
    at += kSectionHeaderSize + length + 8;
    if (kind == kEndSection) break;
    bool keep = true;
    edit(kind, payload, flags, keep);
    if (keep) AppendSection(&out, kind, flags, payload);
  }
  AppendEndSection(&out);
  return out;
}

void PutU64(std::string& payload, size_t at, uint64_t v) {
  std::memcpy(payload.data() + at, &v, 8);
}

uint64_t GetU64(const std::string& payload, size_t at) {
  uint64_t v = 0;
  std::memcpy(&v, payload.data() + at, 8);
  return v;
}

std::string Settings(std::vector<std::pair<std::string, std::string>> settings) {
  PayloadWriter w;
  w.U64(settings.size());
  for (const auto& [keyword, value] : settings) {
    w.Text(keyword);
    w.Text(value);
  }
  return w.bytes();
}

struct SectionDamage {
  const char* name;
  uint32_t kind;
  std::function<void(std::string&, uint32_t&, bool&)> edit;
  std::string said;
};

// Damage to a state of TABLES=SUMMARY and DISTINCT=ON from BorderLog().
std::vector<SectionDamage> SectionDamages() {
  // The distinct section opens with the log's clients, exact: a flag, a
  // count, the hashes; then the days.
  auto days = [](const std::string& p) { return 9 + 8 * GetU64(p, 1); };
  std::string dense(1, '\x01');
  dense += std::string(16384, '\0');
  dense[6] = 60;
  return {
      {"summaries without their switch", kSettingsSection,
       [](std::string& p, uint32_t&, bool&) {
         p = Settings({{"DISTINCT=ON", "ON"}});
       },
       "section 24 (summaries) without TABLES=SUMMARY"},
      {"a switch of another value", kSettingsSection,
       [](std::string& p, uint32_t&, bool&) {
         p = Settings({{"TABLES=SUMMARY", "YES"}, {"DISTINCT=ON", "ON"}});
       },
       "the setting TABLES=SUMMARY has the value 'YES', which no run writes"},
      {"summaries missing", kSummarySection,
       [](std::string&, uint32_t&, bool& keep) { keep = false; }, "the section 24 is missing"},
      {"evictions in a table with room", kSummarySection,
       [](std::string& p, uint32_t&, bool&) { PutU64(p, 0, 1); },
       "evictions in a table with free slots or no bound"},
      {"a bound without evictions", kSummarySection,
       [](std::string& p, uint32_t&, bool&) { PutU64(p, 16, 3); },
       "a bound for a table that never evicted"},
      {"negative evictions", kSummarySection,
       [](std::string& p, uint32_t&, bool&) { PutU64(p, 0, ~uint64_t{0}); },
       "a negative count (-1)"},
      {"bytes after the summaries", kSummarySection,
       [](std::string& p, uint32_t&, bool&) { p += '\0'; },
       "1 bytes after the section's last value"},
      {"distinct counts not skippable", kDistinctSection,
       [](std::string&, uint32_t& flags, bool&) { flags = 0; }, "section 25 is out of place"},
      {"too many exact hashes", kDistinctSection,
       [](std::string& p, uint32_t&, bool&) { PutU64(p, 1, 20000); },
       "a count of 20000, more than the 1536 there can be"},
      {"exact hashes out of order", kDistinctSection,
       [](std::string& p, uint32_t&, bool&) { PutU64(p, 17, GetU64(p, 9)); },
       "the exact hashes are not ascending"},
      {"days of other dates", kDistinctSection,
       [=](std::string& p, uint32_t&, bool&) { PutU64(p, days(p), 99); },
       "99 days of distinct counts for 4 dates"},
      {"a register past the largest rank", kDistinctSection,
       [=](std::string& p, uint32_t&, bool&) { p = dense + p.substr(days(p)); },
       "a register of 60, above the largest rank"},
  };
}

TEST(StateFiles, DamagedSummaryAndDistinctSectionsAreRefused) {
  TempDir dir;
  WriteFile(dir.File("a.log"), Join(BorderLog(), 0, 90));
  const std::string params = "TABLES=SUMMARY\nDISTINCT=ON\n";
  ASSERT_EQ(RunParams(dir, params + "INFILE=" + dir.File("a.log") +
                               "\nSTATEFILE=" + dir.File("a.state") + "\n")
                .status,
            0);
  const std::string good = ReadFile(dir.File("a.state"));
  for (const SectionDamage& c : SectionDamages()) {
    WriteFile(dir.File("bad.state"),
              EditSections(good, [&](uint32_t kind, std::string& p, uint32_t& flags, bool& keep) {
                if (kind == c.kind) c.edit(p, flags, keep);
              }));
    StateRunResult run = RunParams(dir, params + "MERGE=" + dir.File("bad.state") +
                                            "\nOUTFILE=" + dir.File("out.html") + "\n");
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_NE(run.errors.find(dir.File("bad.state") + ": byte "), std::string::npos)
        << c.name << ": " << run.errors;
    EXPECT_NE(run.errors.find(c.said), std::string::npos) << c.name << ": " << run.errors;
    EXPECT_TRUE(run.report.empty()) << c.name;
  }
  // Unedited, it reads.
  WriteFile(dir.File("bad.state"),
            EditSections(good, [](uint32_t, std::string&, uint32_t&, bool&) {}));
  StateRunResult unedited = RunParams(
      dir, params + "MERGE=" + dir.File("bad.state") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  EXPECT_EQ(unedited.status, 0) << unedited.errors;
}

// kill -9 at any moment of a run leaves the old state or the new one, whole.
TEST(StateFiles, AKilledRunLeavesTheOldStateOrTheNewOne) {
  TempDir dir;
  std::string log;
  for (int i = 0; i < 40000; ++i) {
    log += Line("10.1." + std::to_string(i % 250) + "." + std::to_string(i % 7), "-",
                std::to_string(10 + i / 20000), (i / 1000) % 24, "/k" + std::to_string(i), 200);
  }
  WriteFile(dir.File("big.log"), log);
  WriteFile(dir.File("small.log"), Join(BorderLog(), 0, 10));
  ASSERT_EQ(RunParams(dir, "INFILE=" + dir.File("small.log") +
                               "\nSTATEFILE=" + dir.File("s.state") + "\n")
                .status,
            0);
  const std::string old = ReadFile(dir.File("s.state"));
  auto whole = [&](const std::string& path) {
    auto tally = std::make_unique<testing::ScratchForTest>();
    return DecodeFile(path, *tally);
  };
  int newSeen = 0;
  for (int delay = 0; delay < 400; delay += 25) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(LOGVANE_BINARY, "logvane", "--quiet", ("--state=" + dir.File("s.state")).c_str(),
            dir.File("big.log").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string now = ReadFile(dir.File("s.state"));
    EXPECT_TRUE(now == old || whole(dir.File("s.state"))) << "after " << delay << " ms";
    if (now != old) ++newSeen;
    WriteFile(dir.File("s.state"), old);
  }
  std::printf("runs killed after their state was replaced: %d of 16\n", newSeen);
}

}  // namespace
}  // namespace logvane
