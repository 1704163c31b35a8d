// Whole runs over logs, parameter files and cache files that strangers or
// accidents could have written: every run must end normally with its usual
// console lines, and its report must hold only the report's own markup.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "driver/run_state.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "support/markup_check.h"
#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

// Every key of every table in the report, not just the top ones.
const std::string kShowAll =
    "MAXUSERS=9999\nMAXPAGES=9999\nMAXDIRS=999\nMAXNOTFOUND=999\nMAXEXTRA1=999\nMAXEXTRA2=999\n";

void ExpectOwnMarkup(const std::string& report) {
  ASSERT_TRUE(report.ends_with("</body></html>\n"));
  EXPECT_EQ(CheckOwnMarkup(report).problem, "");
}

void ExpectNormalEnd(const LogRun& run, const std::string& diagnostics, long long processed,
                     bool lookups = false) {
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(UntidyDiagnostics(run.result.errors), "");
  std::string expected = NormalEnd(diagnostics, processed, lookups);
  EXPECT_TRUE(run.console.ends_with(expected))
      << "expected the end\n"
      << expected.substr(0, 2000) << "\nof\n"
      << run.console.substr(run.console.size() > 3000 ? run.console.size() - 3000 : 0);
  ExpectOwnMarkup(run.report);
}

// What the reading phase prints between its start lines and "End of
// file..." for `log`, run in this process with the default settings.
std::string PhaseDiagnostics(const std::string& log) {
  RunStatePtr state = NewRunState();
  std::string captured;
  Console console(&captured);
  std::unique_ptr<LogSource> source = LogFromText(log);
  LogLineReader reader(*source);
  FaultEnv machine;
  ReadRecords(state->settings, state->tallies, state->counters, reader, console, machine);
  size_t from = captured.find(kFakeTime) + std::string(kFakeTime).size() + 1;
  return captured.substr(from, captured.rfind("End of file...") - from);
}

long long ProcessedBy(const std::string& console) {
  const std::string marker = "completed reading... processed: ";
  size_t at = console.find(marker);
  return at == std::string::npos ? -1 : std::stoll(console.substr(at + marker.size()));
}

// Fields of a combined-format line; `With` puts one byte into one of them.
struct Fields {
  std::string client = "10.0.0.1", ident = "-", auth = "-", zone = "-0700", method = "GET",
              url = "/a/b.html", protocol = "HTTP/1.0", code = "200", bytes = "100", extra1 = "ref",
              extra2 = "agent";
  static constexpr int kCount = 11;
  std::string& operator[](int i) {
    std::string* all[] = {&client,   &ident, &auth,  &zone,   &method, &url,
                          &protocol, &code,  &bytes, &extra1, &extra2};
    return *all[i];
  }
  std::string Line() const {
    std::string l = client;
    l.append(" ").append(ident).append(" ").append(auth).append(" [07/Oct/1998:13:55:36 ");
    l.append(zone).append("] \"").append(method).append(" ").append(url).append(" ");
    l.append(protocol).append("\" ").append(code).append(" ").append(bytes).append(" \"");
    l.append(extra1).append("\" \"").append(extra2).append("\"\n");
    return l;
  }
};

std::string EveryFieldWith(const std::vector<int>& byteValues) {
  std::string log;
  for (int field = 0; field < Fields::kCount; ++field) {
    for (int b : byteValues) {
      Fields f;
      f[field].insert(1, 1, static_cast<char>(b));
      log += f.Line();
    }
  }
  return log;
}

TEST(HostileInput, BinaryGarbage) {
  std::mt19937 random(20240601);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
  // Without a "[" every line is a line without a date: one "~" each.
  std::string noBracket = garbage;
  size_t pieces = 0;
  for (char& c : noBracket) {
    if (c == '[') c = ']';
  }
  for (size_t at = 0; at < noBracket.size(); ++pieces) {
    size_t newline = noBracket.find('\n', at);
    at = newline == std::string::npos ? noBracket.size() : newline + 1;
  }
  {
    TempDir dir;
    LogRun run = RunOnLog(dir, noBracket);
    ExpectNormalEnd(run, std::string(pieces, '~'), static_cast<long long>(pieces));
  }
  {
    TempDir dir;
    LogRun run = RunOnLog(dir, garbage, 'N', kShowAll);
    std::string diagnostics = PhaseDiagnostics(garbage);
    long long processed = ProcessedBy(run.console);
    EXPECT_GT(processed, 0);
    EXPECT_LE(processed, static_cast<long long>(pieces));
    ExpectNormalEnd(run, diagnostics, processed);
  }
}

TEST(HostileInput, EveryByteValueInEveryField) {
  // A byte that is no marker leaves each line well formed: all are counted.
  std::vector<int> plain;
  std::vector<int> markers = {'\n', '"', ' ', '['};
  for (int b = 0; b < 256; ++b) {
    if (std::find(markers.begin(), markers.end(), b) == markers.end()) plain.push_back(b);
  }
  for (std::string style : {"", "STYLE=MODERN\n"}) {
    SCOPED_TRACE(style);
    TempDir dir;
    LogRun run = RunOnLog(dir, EveryFieldWith(plain), 'N', kShowAll + style);
    ExpectNormalEnd(run, "1000 records\n", Fields::kCount * static_cast<long long>(plain.size()));
    EXPECT_NE(run.report.find("/&lt;a/b.html"), std::string::npos);      // the page with '<'
    EXPECT_NE(run.report.find("/&#xFFFD;a/b.html"), std::string::npos);  // and with NUL
  }
  {
    // The markers move fields about; whatever they make of a line, the run
    // prints what the reading phase prints and ends normally.
    TempDir dir;
    std::string log = EveryFieldWith(markers);
    LogRun run = RunOnLog(dir, log, 'N', kShowAll);
    ExpectNormalEnd(run, PhaseDiagnostics(log), ProcessedBy(run.console));
    EXPECT_GT(ProcessedBy(run.console), 0);
  }
}

TEST(HostileInput, NulBytes) {
  TempDir dir;
  std::string nul(1, '\0');
  Fields a;
  a.client = "10.0" + nul + ".0.1";
  Fields b;
  b.url = "/x" + nul + "y/z" + nul + ".html";
  Fields c;
  c.extra1 = nul + nul;
  c.extra2 = nul;
  std::string log = a.Line() + std::string(500, '\0') + "\n" + b.Line() + c.Line() + nul;
  LogRun run = RunOnLog(dir, log);
  // The run of NULs and the last NUL are lines without a date.
  ExpectNormalEnd(run, "~~", 5);
  EXPECT_NE(run.report.find("10.0&#xFFFD;.0.1"), std::string::npos);
  EXPECT_NE(run.report.find("/x&#xFFFD;y"), std::string::npos);
}

TEST(HostileInput, CarriageReturnsWithoutNewlines) {
  {
    TempDir dir;
    LogRun run = RunOnLog(dir, "\r\r\r");
    ExpectNormalEnd(run, "~", 1);
  }
  {
    // A hundred lines joined by CRs are one physical line: one record, of
    // its first 1997 bytes, and the rest is skipped.
    TempDir dir;
    std::string log;
    Fields f;
    std::string line = f.Line();
    line.back() = '\r';
    for (int i = 0; i < 100; ++i) log += line;
    LogRun run = RunOnLog(dir, log);
    ExpectNormalEnd(run, "", 1);
  }
  {
    // CR LF line ends: the CR stays in the line, the line still counts.
    TempDir dir;
    std::string line = Fields().Line();
    line.insert(line.size() - 1, "\r");
    LogRun run = RunOnLog(dir, line + line);
    ExpectNormalEnd(run, "", 2);
  }
}

// A client that pads a field so that its line passes 1997 bytes, then
// writes a whole line of its own, must not get that line counted: one
// physical line is one record in every layout, on one thread or more.
TEST(HostileInput, APaddedLineSmugglesNoRecord) {
  const std::string smuggled =
      "6.6.6.6 - - [17/May/2015:10:05:03 +0000] \"GET /smuggled HTTP/1.1\" 404 5 \"-\" \"x";
  // The smuggled text with a backslash before each quote, as Apache and
  // nginx's JSON escaping write it.
  auto escaped = [](std::string t) {
    for (size_t at = 0; (at = t.find('"', at)) != std::string::npos; at += 2) t.insert(at, "\\");
    return t;
  };
  // Pads `head` so that `tail` starts at byte 1997 of the line.
  auto padded = [](const std::string& head, const std::string& tail, const std::string& end) {
    return head + std::string(kLinePieceWidth - head.size(), 'p') + tail + end + "\n";
  };
  const std::string time = "[17/May/2015:10:05:03 +0000]";
  const std::string combinedHead = "1.2.3.4 - - " + time + " \"GET /real HTTP/1.1\" 200 5 \"-\" \"";
  struct Case {
    const char* name;
    std::string settings;
    std::string line;
    int processed;  // of the two lines
  };
  const Case cases[] = {
      {"combined", "", padded(combinedHead, escaped(smuggled), "\""), 2},
      // The request's closing quote lies past the first 1997 bytes.
      {"common", "LOGFORMAT=COMMON\n",
       padded("1.2.3.4 - - " + time + " \"GET /real?", smuggled, " HTTP/1.1\" 200 5"), 0},
      {"vhost", "LOGFORMAT=VHOST_COMBINED\n", padded("v:80 " + combinedHead, smuggled, "\""), 2},
      {"nginx",
       "LOGFORMAT=$remote_addr - $remote_user [$time_local] \"$request\" $status "
       "$body_bytes_sent \"$http_referer\" \"$http_user_agent\"\n",
       padded(combinedHead, smuggled, "\""), 2},
      {"json", "LOGFORMAT=JSON\n",
       padded("{\"time_local\":\"17/May/2015:10:05:03 +0000\",\"remote_addr\":\"1.2.3.4\","
              "\"request\":\"GET /real HTTP/1.1\",\"status\":200,\"http_user_agent\":\"",
              escaped("{\"time_local\":\"17/May/2015:10:05:03 +0000\",\"remote_addr\":"
                      "\"6.6.6.6\",\"request\":\"GET /smuggled HTTP/1.1\",\"status\":404}"),
              "\"}"),
       2},
  };
  for (const Case& c : cases) {
    for (const char* threads : {"THREADS=1\n", "THREADS=2\n"}) {
      SCOPED_TRACE(std::string(c.name) + " " + threads);
      TempDir dir;
      LogRun run = RunOnLog(dir, c.line + c.line, 'N', c.settings + threads + kShowAll);
      EXPECT_EQ(run.result.status, 0);
      EXPECT_EQ(run.report.find("6.6.6.6"), std::string::npos);
      EXPECT_EQ(run.report.find("/smuggled"), std::string::npos);
      EXPECT_NE(run.report.find("1.2.3.4"), std::string::npos);
      EXPECT_NE(run.console.find("completed reading... processed: " + std::to_string(c.processed) +
                                 " records."),
                std::string::npos);
      if (c.settings.empty() || c.settings == "LOGFORMAT=COMMON\n") {
        EXPECT_NE(run.result.errors.find("access.log:1: warning: 2 lines were longer than 1997 "
                                         "bytes: only their first 1997 bytes were read"),
                  std::string::npos)
            << run.result.errors;
      }
    }
  }
}

// A configured format reads a line up to 64 KiB whole, and refuses a longer
// one whole, as one record.
TEST(HostileInput, ConfiguredFormatsReadWholeLines) {
  const std::string agent(2600, 'a');
  auto json = [](const std::string& ua) {
    return "{\"time_local\":\"17/May/2015:10:05:03 +0000\",\"remote_addr\":\"1.2.3.4\","
           "\"request\":\"GET /x HTTP/1.1\",\"status\":200,\"http_user_agent\":\"" +
           ua + "\"}\n";
  };
  std::string log = json("short") + json(agent) + json("b") + json(agent) + json("c");
  log += json(std::string(70000, 'z'));
  TempDir dir;
  LogRun run = RunOnLog(dir, log, 'N', "LOGFORMAT=JSON\n" + kShowAll);
  EXPECT_NE(run.console.find("completed reading... processed: 6 records."), std::string::npos);
  EXPECT_NE(run.report.find(agent.substr(0, 99)), std::string::npos);
  EXPECT_EQ(run.result.errors.find("do not match"), std::string::npos) << run.result.errors;
  EXPECT_NE(run.result.errors.find("access.log:6: note: 1 longer than 65536 bytes"),
            std::string::npos)
      << run.result.errors;
}

TEST(HostileInput, ASingleFiftyMegabyteLine) {
  TempDir dir;
  std::string log = "192.0.2.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /";
  log.append(50u << 20, 'a');
  log.append(" HTTP/1.0\" 200 1\n");
  LogRun run = RunOnLog(dir, log);
  // Its first 1997 bytes have no closing quote; the rest is skipped.
  std::string diagnostics = " BAD PAGE/b: " + log.substr(0, kLinePieceWidth) + "\n";
  ExpectNormalEnd(run, diagnostics, 0);
  // Its user and day were counted before the page failed.
  EXPECT_NE(run.report.find("192.0.2.1"), std::string::npos);
}

TEST(HostileInput, OnlyBracketsOrOnlyQuotes) {
  struct Case {
    std::string log;
    std::string diagnostics;
    long long processed;
  };
  const std::string rejected = "*REJECTED LINE due to bad format*\n";
  const Case cases[] = {
      {"[", rejected, 1},
      {"[\n", rejected, 1},
      {std::string(5000, '['), rejected, 1},
      {"\"", "~", 1},
      {std::string(5000, '"') + "\n", "~", 1},
      {"[\"\"\"\"\n", rejected, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log.substr(0, 10));
    TempDir dir;
    ExpectNormalEnd(RunOnLog(dir, c.log), c.diagnostics, c.processed);
  }
}

TEST(HostileInput, MarkupAndScriptInEveryField) {
  std::vector<Fields> lines(6);
  lines[0].client = "192.0.2.7";
  lines[0].url = "/<script>alert('x')</script>?q=<img src=x onerror=alert(1)>";
  lines[1].client = "<script>alert(2)</script>";
  lines[1].auth = "<b>bob</b>";
  lines[1].code = "404";
  lines[1].url = "/<iframe>/x";
  lines[2].client = "javascript:alert(3)";
  lines[2].url = "http://x'onmouseover='alert(4)";
  lines[2].extra1 = "javascript:alert(document.cookie)";
  lines[2].extra2 = "<a href=javascript:x>ua</a>&amp;";
  lines[3].ident = "<i>jim";
  lines[3].extra1 = "data:text/html,<script>alert(5)</script>";
  lines[3].extra2 = " vbscript:msgbox(6)";
  lines[4].url = "JaVa\tScRiPt:alert(7)";
  lines[4].extra1 = "&lt;&#60;&";
  lines[5].url = "/'\"><svg onload=alert(8)>";  // the quote ends the request early
  std::string log;
  for (const Fields& f : lines) log += f.Line();
  // A date key with markup: eleven characters after the "[".
  log += "h - - [07/<b>x</b>:13:55:36] \"GET / HTTP/1.0\" 200 1\n";
  for (std::string style : {"", "STYLE=MODERN\n"}) {
    SCOPED_TRACE(style);
    TempDir dir;
    // The cache names the first client with markup of its own.
    WriteFile(dir.File("lvipname.dat"), "192.0.2.7,<script>alert(1)</script>.example.com\n");
    LogRun run = RunOnLog(dir, log, 'X', "USER=FIELD2\n" + kShowAll + style);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_NE(run.console.find("...... IP name file closed.  1 records loaded.\n"),
              std::string::npos);
    // Every line is counted: the quote in the last URL only ends its request
    // early.
    ExpectNormalEnd(run, "", 7, true);
    // The modern report lets keys wrap after their separators.
    std::string report = std::regex_replace(run.report, std::regex("<wbr>"), "");
    EXPECT_EQ(report.find("<script"), std::string::npos);
    EXPECT_EQ(report.find("<iframe"), std::string::npos);
    EXPECT_NE(report.find("&lt;script&gt;alert(1)&lt;/script&gt;.example.com"), std::string::npos);
    EXPECT_NE(report.find("&lt;b&gt;bob&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(report.find("07/&lt;b&gt;x&lt;/b&gt;"), std::string::npos);
  }
}

// A quote in a user ends no attribute, whether the user's text comes from
// the client field, the authuser field or a name in the cache, and whatever
// quotes the operator's template puts around it.
TEST(HostileInput, QuotesStayInsideTheTemplatesAttribute) {
  const std::string hostile = "a.example.com'onmouseover='alert(4)'.com";
  const std::string escaped = "a.example.com&#39;onmouseover=&#39;alert(4)&#39;.com";
  struct Source {
    const char* name;
    std::string client, auth, params, cache;
  };
  const Source sources[] = {
      {"client field", hostile, "-", "", ""},
      {"authuser field", "10.0.0.1", hostile, "USER=FIELD2\n", ""},
      {"cache", "192.0.2.7", "-", "", "192.0.2.7," + hostile + "\n"},
  };
  const struct {
    std::string linkTemplate, address;
  } templates[] = {
      {"<a href='https://who.example/?q={user}'>",
       "<a href='https://who.example/?q=" + escaped + "'>"},
      {"<a href=\"https://who.example/?q={user}\">",
       "<a href=\"https://who.example/?q=" + escaped + "\">"},
  };
  for (const Source& source : sources) {
    for (const auto& t : templates) {
      for (std::string style : {"", "STYLE=MODERN\n"}) {
        SCOPED_TRACE(std::string(source.name) + " " + t.linkTemplate + " " + style);
        TempDir dir;
        if (!source.cache.empty()) WriteFile(dir.File("lvipname.dat"), source.cache);
        Fields f;
        f.client = source.client;
        f.auth = source.auth;
        LogRun run = RunOnLog(dir, f.Line(), source.cache.empty() ? 'N' : 'X',
                              source.params + "ULOOKUP=" + t.linkTemplate + "\n" + style);
        ExpectNormalEnd(run, "", 1, !source.cache.empty());
        EXPECT_NE(run.report.find(t.address), std::string::npos);
        EXPECT_EQ(run.report.find(hostile), std::string::npos);
      }
    }
  }
}

TEST(HostileInput, HugeParameterFile) {
  TempDir dir;
  WriteFile(dir.File("access.log"), Fields().Line());
  std::string params = "INFILE=access.log\nOUTFILE=report.html\nLOOKUP=N\n";
  std::string echoes = "Input file: access.log\nOutput file: report.html\nlookup flag set to: N\n";
  for (int i = 0; i < 10000; ++i) {
    switch (i % 4) {
      case 0:
        params += "MAXUSERS=" + std::to_string(i) + "\n";
        echoes += "MAX TOP USERS: " + std::to_string(i < 10 ? 10 : i >= 10000 ? 9999 : i) + "\n";
        break;
      case 1: params += "; comment " + std::to_string(i) + "\n"; break;
      case 2: params += "UNKNOWN_KEYWORD=" + std::to_string(i) + "\n"; break;
      case 3:
        params += "text" + std::to_string(i % 63 + 1) + "=Label " + std::to_string(i) + "\n";
        break;
    }
  }
  // Lines of 5,000 characters are read as pieces of 1,999: a keyword at
  // the start of a later piece acts as a line of its own.
  params += "TITLE=" + std::string(4994, 'T') + "\n";
  echoes += "Title set to: " + std::string(80, 'T') + "\n";
  params += "EXCLUDE_ADDR=" + std::string(4987, 'a') + "\n";
  echoes += "excluding address: [" + std::string(100, 'a') + "]\n";
  params += std::string(1999, 'x') + "NOSHOW" + std::string(2995, ' ') + "\n";
  echoes += "NO SHOW exclusions.\n";
  params += std::string(5000, '=') + "\n";
  WriteFile(dir.File("lvparam.dat"), params);
  ProgramResult r = RunProgram(dir.path(), {});
  std::string console = MaskRunTimes(r.output);
  EXPECT_NE(console.find("...... parameters file opened.\n" + echoes +
                         "...... parameters file closed.\n\n"),
            std::string::npos);
  EXPECT_TRUE(console.ends_with(NormalEnd("", 1, false)));
  EXPECT_EQ(r.status, 0);
  std::string report = ReadFile(dir.File("report.html"));
  EXPECT_NE(report.find("<title>" + std::string(80, 'T') + "</title>"), std::string::npos);
  ExpectOwnMarkup(report);
}

TEST(HostileInput, DamagedCacheFile) {
  TempDir dir;
  // 70,000 lines: names too long for their field, lines without a comma,
  // lines too long for one piece, and 64,000 valid ones among them.
  std::string cache;
  int valid = 0;
  for (int i = 0; i < 70000; ++i) {
    std::string address = "10." + std::to_string(i / 62500) + "." + std::to_string(i / 250 % 250) +
                          "." + std::to_string(i % 250 + 1);
    switch (i % 25) {
      case 0: cache += address + " no comma here\n"; break;
      case 1:
        cache += address + ",long-" + std::string(300, 'n') + ".example\n";
        ++valid;
        break;
      case 2: cache += std::string(200, ',') + "\n"; break;
      default:
        cache += address + ",host" + std::to_string(i) + ".example\n";
        ++valid;
        break;
    }
  }
  ASSERT_GT(valid, 64000);
  WriteFile(dir.File("lvipname.dat"), cache);
  // 10.0.0.4 is in the file's first part, 10.1.29.250 past its 64,000th
  // valid record; 127.0.0.2 is nowhere.
  std::string log;
  for (const char* client : {"10.0.0.4", "10.1.29.250", "127.0.0.2"}) {
    Fields f;
    f.client = client;
    log += f.Line();
  }
  LogRun run = RunOnLog(dir, log, 'X');
  EXPECT_NE(run.console.find("...... IP names file opened - loading.\n"
                             "*ERROR* more than 64000 IP names in file\n"
                             "...... IP name file closed.  64000 records loaded.\n\n"
                             "sorting cache...\n"),
            std::string::npos)
      << run.console.substr(0, 2000);
  ExpectNormalEnd(run, "", 3, true);
  EXPECT_NE(run.report.find(">host3.example<"), std::string::npos);
  EXPECT_NE(run.report.find("10.1.29.250"), std::string::npos);
  // The rewritten file holds what was loaded: 64,000 records, names cut.
  std::string saved = ReadFile(dir.File("lvipname.dat"));
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 64000);
  EXPECT_NE(saved.find("10.0.0.2,long-" + std::string(54, 'n') + "\n"), std::string::npos);
}

}  // namespace
}  // namespace logvane::testing
