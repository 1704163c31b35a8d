// The built program driven from the command line: the same run as from a
// parameter file, several logs and rotated sets read as one, the hint for
// a log given as parameter file, refused command lines, --quiet, the
// progress line on a terminal, and --check telling what the run would do.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

std::string Lines(int from, int to) {
  std::string log;
  for (int i = from; i < to; ++i) {
    log += "192.0.2." + std::to_string(i % 7) + " - - [07/Oct/1998:" + std::to_string(10 + i % 12) +
           ":55:36 -0700] \"GET /p" + std::to_string(i % 5) + ".html HTTP/1.0\" " +
           (i % 9 == 0 ? "404" : "200") + " " + std::to_string(i) + " \"-\" \"agent " +
           std::to_string(i % 3) + "\"\n";
  }
  return log;
}

// The report at `path`, its "Report Produced" time masked: two runs may
// fall in different seconds.
std::string ReportAt(const std::string& path) { return MaskTimes(ReadFile(path)); }

// The console from the log's opening on, its clock texts masked.
std::string FromOpening(const std::string& console) {
  return MaskTimes(console.substr(console.find("...... input file opened.")));
}

TEST(CommandLineRun, IsTheRunOfAParameterFileWithTheSameKeywords) {
  TempDir a, b;
  for (const TempDir* d : {&a, &b}) {
    WriteFile(d->File("access.log"), Lines(0, 40));
    WriteFile(d->File("lvipname.dat"), "192.0.2.1,one.example.de\n192.0.2.3,three.example.fr\n");
  }
  WriteFile(a.File("p.dat"),
            "LOOKUP=X\nINFILE=access.log\nOUTFILE=r.html\nTITLE=Mine\nMAXUSERS=15\nNO_DAY\n");
  ProgramResult fromFile = RunProgram(a.path(), {"p.dat"});
  ProgramResult fromLine =
      RunProgram(b.path(), {"-o", "r.html", "--title", "Mine", "-s", "MAXUSERS=15", "--set=NO_DAY",
                            "--set", "LOOKUP=X", "access.log"});
  ASSERT_EQ(fromFile.status, 0) << fromFile.output;
  ASSERT_EQ(fromLine.status, 0) << fromLine.output;
  EXPECT_EQ(ReportAt(b.File("r.html")), ReportAt(a.File("r.html")));
  EXPECT_EQ(ReadFile(b.File("lvipname.dat")), ReadFile(a.File("lvipname.dat")));
  EXPECT_EQ(FromOpening(fromLine.output), FromOpening(fromFile.output));
  // Every setting is echoed as the file's lines are, then an empty line.
  EXPECT_NE(fromLine.output.find(")\nOutput file: r.html\nTitle set to: Mine\nMAX TOP USERS: 15\n"
                                 "DAYS report dropped..\nlookup flag set to: X\nInput file: "
                                 "access.log\n\n"),
            std::string::npos)
      << fromLine.output;

  // Without a parameter file nothing is looked up; lvparam.dat is read
  // when it is there, and named.
  TempDir c;
  WriteFile(c.File("access.log"), Lines(0, 5));
  ProgramResult plain = RunProgram(c.path(), {"-o", "r.html", "access.log"});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.output.find("translating names"), std::string::npos);
  EXPECT_FALSE(FileExists(c.File("lvipname.dat")));
  WriteFile(c.File("lvparam.dat"), "LOOKUP=N\nTITLE=From the file\n");
  ProgramResult withDefault = RunProgram(c.path(), {"-o", "r.html", "access.log"});
  EXPECT_NE(
      withDefault.output.find("PARAMETER file: lvparam.dat\n\n...... parameters file "
                              "opened.\nlookup flag set to: N\nTitle set to: From the file\n"),
      std::string::npos);
}

TEST(CommandLineRun, SeveralLogsAreTheirConcatenation) {
  TempDir dir;
  const std::string one = Lines(0, 30), two = Lines(30, 50), three = Lines(50, 90);
  WriteFile(dir.File("one.log"), one);
  WriteFile(dir.File("two.log.gz"), GzipText(two));
  WriteFile(dir.File("three.log"), three);
  WriteFile(dir.File("all.log"), one + two + three);
  ProgramResult whole = RunProgram(dir.path(), {"-o", "whole.html", "all.log"});
  ProgramResult parts =
      RunProgram(dir.path(), {"-o", "parts.html", "one.log", "two.log.gz", "three.log"});
  ASSERT_EQ(parts.status, 0) << parts.output << parts.errors;
  EXPECT_EQ(ReportAt(dir.File("parts.html")), ReportAt(dir.File("whole.html")));
  EXPECT_NE(parts.output.find("Input file: one.log\nInput file: two.log.gz\nInput file: "
                              "three.log\n\n...... input file opened.\n...... input file "
                              "opened.\n...... input file opened.\n - reading records"),
            std::string::npos)
      << parts.output;
  EXPECT_EQ(FromOpening(parts.output).substr(78), FromOpening(whole.output).substr(26));

  // With options every INFILE line adds a log; a parameter file alone
  // keeps the last one, as it always has.
  WriteFile(dir.File("p.dat"),
            "LOOKUP=N\nINFILE=one.log\nINFILE=two.log.gz\nINFILE=three.log\nOUTFILE=p.html\n");
  ASSERT_EQ(RunProgram(dir.path(), {"-p", "p.dat"}).status, 0);
  EXPECT_EQ(ReportAt(dir.File("p.html")), ReportAt(dir.File("whole.html")));
  ProgramResult old = RunProgram(dir.path(), {"p.dat"});
  EXPECT_NE(old.output.find("processed: 40 records."), std::string::npos) << old.output;

  // A log that cannot be opened ends the run before any is read.
  ProgramResult missing = RunProgram(dir.path(), {"-o", "m.html", "one.log", "gone.log"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(
      missing.output.ends_with("...... input file opened.\n*ERROR* Could not open input file."));
  EXPECT_NE(missing.errors.find("logvane: cannot open input file 'gone.log': No such file or "
                                "directory\n"),
            std::string::npos);
  EXPECT_FALSE(FileExists(dir.File("m.html")));
}

TEST(CommandLineRun, RotatedSetsAreReadOldestFirst) {
  TempDir dir;
  const std::string a = Lines(0, 20), b = Lines(20, 35), c = Lines(35, 60), d = Lines(60, 70);
  WriteFile(dir.File("access.log.12.gz"), GzipText(a));
  WriteFile(dir.File("access.log.3.gz"), GzipText(b));  // .4 to .11 are gone
  WriteFile(dir.File("access.log.1"), c);
  WriteFile(dir.File("access.log"), d);
  WriteFile(dir.File("whole"), a + b + c + d);
  ASSERT_EQ(RunProgram(dir.path(), {"-o", "whole.html", "whole"}).status, 0);
  ProgramResult rotated = RunProgram(dir.path(), {"-o", "set.html", "--rotated", "access.log"});
  ASSERT_EQ(rotated.status, 0) << rotated.errors;
  EXPECT_EQ(ReportAt(dir.File("set.html")), ReportAt(dir.File("whole.html")));
  WriteFile(dir.File("p.dat"), "LOOKUP=N\nINFILE=access.log*\nOUTFILE=star.html\n");
  ASSERT_EQ(RunProgram(dir.path(), {"p.dat"}).status, 0);
  EXPECT_EQ(ReportAt(dir.File("star.html")), ReportAt(dir.File("whole.html")));

  ProgramResult none = RunProgram(dir.path(), {"-o", "n.html", "--rotated=error.log"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.errors,
            "logvane: cannot open input file 'error.log*': no file is error.log, error.log.N[.gz] "
            "or error.log-YYYYMMDD[.gz]\n");
}

TEST(CommandLineRun, AnAccessLogGivenAsParameterFileGetsAHint) {
  TempDir dir;
  WriteFile(dir.File("access.log"), Lines(0, 3));
  ProgramResult r = RunProgram(dir.path(), {"access.log"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.errors,
            "logvane: access.log looks like an access log, not a parameter file; to analyse it: "
            "logvane -o access.html access.log\n");
  WriteFile(dir.File("my log.2.gz"), GzipText(Lines(0, 3)));
  EXPECT_EQ(RunProgram(dir.path(), {"my log.2.gz"}).errors,
            "logvane: my log.2.gz looks like an access log, not a parameter file; to analyse it: "
            "logvane -o 'my log.html' 'my log.2.gz'\n");
  WriteFile(dir.File("access.json"), "{\"remote_addr\":\"192.0.2.1\",\"status\":200}\n");
  EXPECT_EQ(RunProgram(dir.path(), {"access.json"}).status, 1);

  // Real parameter files are read as always, comments first or not.
  WriteFile(dir.File("p.dat"),
            "; 192.0.2.1 - - [07/Oct/1998:13:55:36 -0700] \"GET / HTTP/1.0\" 200 1\n"
            "LOOKUP=N\nINFILE=access.log\nOUTFILE=r.html\n");
  EXPECT_EQ(RunProgram(dir.path(), {"p.dat"}).status, 0);
  WriteFile(dir.File("comments.dat"), "; nothing set yet\n;INFILE=x\n");
  ProgramResult comments = RunProgram(dir.path(), {"comments.dat"});
  EXPECT_NE(comments.output.find("Please enter the input log filename: "), std::string::npos);
}

TEST(CommandLineRun, ARefusedCommandLineReadsAndWritesNothing) {
  TempDir dir;
  WriteFile(dir.File("access.log"), Lines(0, 3));
  const std::vector<std::vector<std::string>> lines = {
      {"--bogus", "access.log"},   {"-o", "r.html", "-o", "s.html", "access.log"},
      {"access.log", "-o"},        {"-s", "COLOUR=red", "-o", "r.html", "access.log"},
      {"--quiet=1", "access.log"}, {"-o", "r.html", "-x"},
  };
  for (const auto& args : lines) {
    ProgramResult r = RunProgram(dir.path(), args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.output, "") << args[0];
    EXPECT_TRUE(r.errors.starts_with("logvane: ") &&
                r.errors.ends_with("; try 'logvane --help'\n") &&
                r.errors.find('\n') == r.errors.size() - 1)
        << r.errors;
  }
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"access.log"});
}

TEST(CommandLineRun, QuietShowsOnlyErrors) {
  TempDir dir;
  WriteFile(dir.File("access.log"), Lines(0, 3));
  ProgramResult quiet = RunProgram(dir.path(), {"-q", "-o", "r.html", "access.log"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.output, "");
  EXPECT_TRUE(FileExists(dir.File("r.html")));
  ProgramResult failed = RunProgram(dir.path(), {"--quiet", "-o", "r.html", "gone.log"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.output, "*ERROR* Could not open input file.");
  EXPECT_NE(failed.errors.find("cannot open input file 'gone.log'"), std::string::npos);
}

// The program run with standard error (and output) on a pseudo-terminal,
// through script(1); none when script is not installed.
std::optional<std::string> OnTerminal(const std::string& dir, const std::string& args) {
  if (::access("/usr/bin/script", X_OK) != 0) return std::nullopt;
  std::string command = "cd '" + dir + "' && /usr/bin/script -qec \"" + LOGVANE_BINARY + " " +
                        args + "\" /dev/null 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[1 << 14];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

TEST(CommandLineRun, ProgressLineOnATerminalOnly) {
  TempDir dir;
  {
    // Long enough to take more than a tenth of a second on one thread.
    std::string log;
    const std::string line =
        "192.0.2.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /index.html HTTP/1.0\" 200 2326\n";
    for (int i = 0; i < 1500000; ++i) log += line;
    WriteFile(dir.File("big.log"), log);
  }
  std::optional<std::string> terminal = OnTerminal(dir.path(), "-s THREADS=1 -o r.html big.log");
  if (!terminal) GTEST_SKIP() << "script(1) is not installed";
  EXPECT_NE(terminal->find("\rlogvane: "), std::string::npos) << *terminal;
  EXPECT_NE(terminal->find("% of 118 MB, "), std::string::npos)
      << terminal->substr(terminal->find("\rlogvane: "), 200);
  // Every drawing is erased before the next console line and at the end.
  size_t lastDrawn = terminal->rfind(" lines/s");
  EXPECT_NE(terminal->find("\r\x1b[K", lastDrawn), std::string::npos);
  size_t from = 0;
  while (from < terminal->size()) {
    size_t end = terminal->find('\n', from);
    std::string line = terminal->substr(from, end == std::string::npos ? end : end - from);
    size_t drawn = line.rfind(" lines/s");
    if (drawn != std::string::npos) {
      EXPECT_NE(line.find("\r\x1b[K", drawn), std::string::npos) << line;
    }
    if (end == std::string::npos) break;
    from = end + 1;
  }
  EXPECT_NE(terminal->find("closing..."), std::string::npos);

  // Quiet, or standard error not a terminal: nothing.
  std::optional<std::string> quiet = OnTerminal(dir.path(), "-q -s THREADS=1 -o r.html big.log");
  EXPECT_EQ(quiet->find(" lines/s"), std::string::npos);
  ProgramResult piped = RunProgram(dir.path(), {"-s", "THREADS=1", "-o", "r.html", "big.log"});
  EXPECT_EQ(piped.errors.find(" lines/s"), std::string::npos);
  EXPECT_EQ(piped.errors.find('\r'), std::string::npos);
}

TEST(CommandLineRun, CheckFailsWhereTheRunWould) {
  TempDir dir;
  WriteFile(dir.File("access.log"), Lines(0, 3));
  ::mkdir(dir.File("ro").c_str(), 0555);
  ::mkdir(dir.File("out").c_str(), 0777);
  ::symlink("nodir/r.html", dir.File("dangling.html").c_str());
  // ro/ takes no new file, as a read-only directory does for a user whose
  // rights count.
  FaultEnv machine(dir.path());
  machine.FailOn(EnvCall::kCreate, "ro/", EACCES);
  struct Case {
    std::vector<std::string> args;
    std::string error;  // in standard error; empty for a passing check
  };
  const std::vector<Case> cases = {
      {{"-f", "%h %l %u %t \"%r\" %>s %{"}, "error: the log format cannot be used: "},
      {{"-f", "%h %u"}, "error: the log format cannot be used: "},
      {{"-f", "JSON", "-s", "EXTRA1=$"}, "error: the log format cannot be used: "},
      {{"-o", "dangling.html"},
       "the report 'dangling.html' will not be writable (No such file or directory)"},
      {{"-o", "/proc/logvane-test.html"}, "the report '/proc/logvane-test.html' will not be"},
      {{"-o", "ro/r.html"}, "the report 'ro/r.html' will not be writable (Permission denied)"},
      {{"-o", "out/r.html", "-s", "hstb_loc=."}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--check", "access.log"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    if (std::find(c.args.begin(), c.args.end(), "-o") == c.args.end()) {
      args.insert(args.end(), {"-o", "out/r.html", "-s", "hstb_loc=."});
    }
    ProgramResult r = RunInProcess(machine, args);
    EXPECT_EQ(r.status, c.error.empty() ? 0 : 1) << c.args[1] << r.errors;
    EXPECT_NE(r.errors.find(c.error), std::string::npos) << c.args[1] << r.errors;
  }
  // The probes left nothing behind.
  EXPECT_EQ(FilesIn(dir.path()),
            (std::vector<std::string>{"access.log", "dangling.html", "out", "ro"}));
  EXPECT_EQ(FilesIn(dir.File("ro")), std::vector<std::string>{});
  EXPECT_EQ(FilesIn(dir.File("out")), std::vector<std::string>{});
}

TEST(CommandLineRun, DiagnosticsShowLogBytesEscaped) {
  TempDir dir;
  WriteFile(dir.File("access.log"), "caf\xc3\xa9 \\ and more\n");
  ProgramResult r =
      RunProgram(dir.path(), {"-o", "r.html", "-f", "%h %l %u %t \"%r\" %>s %b", "access.log"});
  EXPECT_NE(r.errors.find("the first: caf\\xc3\\xa9 \\\\ and more\n"), std::string::npos)
      << r.errors;
}

}  // namespace
}  // namespace logvane::testing
