// What the built program tells the operator on standard error: parameter
// lines that were probably meant otherwise, files that cannot be used and
// why, warnings before the log is read, the summary after it, and --check.
// Standard output stays what it always was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

const std::string kLine =
    "10.0.0.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /a.html HTTP/1.0\" 200 10 \"r\" \"a\"\n";

const std::string kBarNote =
    "logvane: note: the report's bars point at /hstb.gif, the root of the file system when the "
    "report is opened as a file; put hstb.gif beside the report and add the line hstb_loc=. "
    "to the parameter file\n";

TEST(Diagnostics, ParameterLinesGetAtMostOneWarningEach) {
  struct Case {
    std::string line;
    std::string warning;  // after "logvane: p.dat:N: ", empty for none
  };
  const std::string lookupsOn = "reverse lookups are ON; write LOOKUP=N to turn them off";
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBFTITLE=Mine",
       "warning: the file begins with a UTF-8 byte-order mark, so line 1 ('TITLE=Mine') is not "
       "read; save the file without the mark"},
      {"LOKUP=N", "warning: unknown keyword 'LOKUP': line ignored; did you mean LOOKUP?"},
      {"INFLE=x.log", "warning: unknown keyword 'INFLE': line ignored; did you mean INFILE?"},
      {"PAGE=FULL", "warning: unknown keyword 'PAGE': line ignored; did you mean PAGES=FULL?"},
      {"COLOUR=red", "warning: unknown keyword 'COLOUR': line ignored"},
      {"text1 =Hello",
       "warning: unknown keyword 'text1': line ignored (label keys are text1 to text69, text70 to "
       "text84 and text85 to text97, with \"=\" right after the number)"},
      {"TITLE My Stats", "warning: TITLE needs \"=\" and a value: line ignored"},
      {"LOOKUP=off", "warning: LOOKUP value 'off' is not Y, N or X: " + lookupsOn},
      {"LOOKUP=0", "warning: LOOKUP value '0' is not Y, N or X: " + lookupsOn},
      {"LOOKUP = N", "warning: LOOKUP value ' N' begins with a blank, which counts: " + lookupsOn},
      {"LOOKUP=", "warning: LOOKUP has no value: " + lookupsOn},
      {"LOOKUP=x", "warning: LOOKUP given again (first on line 8): this later value wins"},
      {"DEBUG=on",
       "warning: DEBUG value 'on' is not Y or F: lookup tracing is OFF; write DEBUG=Y to trace "
       "lookups"},
      {"MAXUSERS=abc", "warning: MAXUSERS value 'abc' is not a number: using 10"},
      {"MAXPAGES=0", "warning: MAXPAGES=0 is outside its range: using 10"},
      {"MAXDIRS=50", ""},
      {"TIMEOUT=-5",
       "warning: TIMEOUT=-5 is negative: every reverse lookup is given up at once, so no new "
       "names are found"},
      {"ADJWIDTH=500", "warning: ADJWIDTH=500 is outside its range: using 350"},
      {"HOFFSET=123456789012345678901",
       "warning: HOFFSET value '123456789012345678901' is longer than 20 characters and was "
       "cut: using 2147483647"},
      {"OUTFILE= r.html ",
       "warning: OUTFILE value ' r.html ' has blanks around it, which are part of the name; "
       "write OUTFILE=r.html"},
      {"TITLE=" + std::string(85, 't'),
       "warning: TITLE value is 85 characters long; only the first 80 are used"},
      {"EXCLUDE_TYPE=" + std::string(25, 'e'),
       "warning: EXCLUDE_TYPE value is 25 characters long; only the first 20 are used"},
      {"text5=" + std::string(50, 'l'),
       "warning: text5 value is 50 characters long; only the first 49 are used"},
      {"text105\x1b=" + std::string(50, 'l'),
       "warning: text10 value is 50 characters long; only the first 49 are used"},
      {"SELECT=\x1b]0;owned\x07", ""},
      {"SELECT=x", "warning: SELECT given again (first on line 25): this later value wins"},
      {"EXCLUDE_TYPE=.gif", ""},
      {"NO_USER", ""},
      {"NO_USER", ""},
      {"just words, no setting", ""},
      {"ROBOTS=RPT ", "warning: ROBOTS value 'RPT ' is not RPT: robots are not marked"},
      {"PROXY=OFF", "warning: unknown keyword 'PROXY': line ignored; did you mean PROXY=ON?"},
      {"HOFFSET=100000",
       "warning: HOFFSET=100000 is outside -23 to 23: every hit will be in the one hour row 99 "
       "instead of 0 to 23"},
      {"HOFFSET=-30",
       "warning: HOFFSET=-30 is outside -23 to 23: the hour rows will show -6 to 17 instead of 0 "
       "to 23"},
      {"HOFFSET=23", "warning: HOFFSET given again (first on line 19): this later value wins"},
      {std::string("MAXUSERS=5\0 99", 14),
       "warning: a NUL byte at column 11 ends the line there: the rest of it (' 99') is not read"},
      {std::string("\0NO_USER", 8),
       "warning: a NUL byte at column 1 ends the line there: the rest of it ('NO_USER') is not "
       "read"},
      {std::string(";comment\0MAXUSERS=5", 19), ""},
      {"INFILE=missing.log", ""},
  };
  std::string params;
  std::string expected;
  for (size_t i = 0; i < cases.size(); ++i) {
    params += cases[i].line + "\n";
    if (!cases[i].warning.empty()) {
      expected += "logvane: p.dat:" + std::to_string(i + 1) + ": " + cases[i].warning + "\n";
    }
  }
  expected += "logvane: cannot open input file 'missing.log': No such file or directory\n";
  TempDir dir;
  WriteFile(dir.File("p.dat"), params);
  ProgramResult r = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(r.errors, expected);
  EXPECT_NE(r.status, 0);
  // The console echoes as it always did, control bytes and all.
  EXPECT_NE(r.output.find("lookup flag set to: o\nlookup flag set to: 0\nlookup flag set to:  \n"
                          "lookup flag set to: \n\nlookup flag set to: x\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("Selecting only: \x1b]0;owned\x07\n"), std::string::npos);
  EXPECT_TRUE(r.output.ends_with("*ERROR* Could not open input file."));
}

TEST(Diagnostics, ValuesFromTheFileAreShownWithControlBytesVisible) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "LOOKUP=\x1b[2J\nMAXUSERS=\x07\\9\nINFILE=none\n");
  ProgramResult r = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(r.errors,
            "logvane: p.dat:1: warning: LOOKUP value '\\x1b[2J' is not Y, N or X: reverse "
            "lookups are ON; write LOOKUP=N to turn them off\n"
            "logvane: p.dat:2: warning: MAXUSERS value '\\x07\\\\9' is not a number: using 10\n"
            "logvane: cannot open input file 'none': No such file or directory\n");
  EXPECT_EQ(UntidyDiagnostics(r.errors), "");
}

TEST(Diagnostics, LinesThatEndTheRunAreErrorsAtTheirLine) {
  TempDir dir;
  std::string params = "LOOKUP=N\n";
  for (int i = 0; i < 100; ++i) params += "EXCLUDE_ADDR=10." + std::to_string(i) + "\n";
  WriteFile(dir.File("p.dat"), params);
  ProgramResult overflow = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(overflow.errors,
            "logvane: p.dat:101: error: more than 99 EXCLUDE_ADDR lines: the run ends here\n");
  EXPECT_TRUE(overflow.output.ends_with("*ERROR* too many exclusion addresses\n"));

  WriteFile(dir.File("p.dat"), "LOOKUP=N\nOUTFILE=" + std::string(120, 'o') + "\n");
  ProgramResult tooLong = RunProgram(dir.path(), {"--check", "p.dat"});
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_EQ(tooLong.errors,
            "logvane: p.dat:2: error: OUTFILE value is 120 characters long, more than 119: the "
            "run ends here\n");
}

TEST(Diagnostics, FilesThatCannotBeUsedAreNamedWithTheReason) {
  TempDir dir;
  ProgramResult missing = RunProgram(dir.path(), {"nothere.dat"});
  EXPECT_EQ(missing.errors,
            "logvane: cannot open parameter file 'nothere.dat': No such file or directory\n");
  EXPECT_TRUE(missing.output.ends_with("*ERROR* Could not open parameters file."));

  WriteFile(dir.File("p.dat"), "LOOKUP=N\nINFILE=.\n");
  ProgramResult directory = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(directory.errors, "logvane: cannot open input file '.': Is a directory\n");
  EXPECT_TRUE(directory.output.ends_with("*ERROR* Could not open input file."));

  std::string gzip = GzipText(kLine + kLine);
  WriteFile(dir.File("cut.gz"), gzip.substr(0, gzip.size() - 12));
  WriteFile(dir.File("p.dat"), "LOOKUP=N\nINFILE=cut.gz\nOUTFILE=r.html\nhstb_loc=.\n");
  ProgramResult cut = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(cut.status, 3);
  EXPECT_NE(cut.output.find("Error reading file...\n"), std::string::npos);
  EXPECT_TRUE(cut.errors.starts_with(
      "logvane: cannot read input file 'cut.gz': the compressed data is damaged or cut short\n"))
      << cut.errors;
}

TEST(Diagnostics, EarlyWarningsComeBeforeTheLogIsRead) {
  TempDir dir;
  WriteFile(dir.File("access.log"), kLine);
  WriteFile(dir.File("p.dat"), "LOOKUP=N\nINFILE=access.log\nOUTFILE=nodir/r.html\n");
  ProgramResult r = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(r.errors,
            "logvane: warning: the report 'nodir/r.html' will not be writable (directory "
            "'nodir': No such file or directory): the run will read the whole log and then "
            "fail\n" +
                kBarNote +
                "logvane: cannot create output file 'nodir/r.html': No such file or directory\n");
  // The run itself goes on as it always did.
  EXPECT_NE(r.output.find("completed reading... processed: 1 records.\n"), std::string::npos);
  EXPECT_TRUE(r.output.ends_with("*ERROR* Could not open output file."));

  // A bar location and a report that can be written: nothing to say.
  WriteFile(dir.File("p.dat"), "LOOKUP=N\nINFILE=access.log\nOUTFILE=r.html\nhstb_loc=.\n");
  ProgramResult quiet = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.errors, "");
  // The modern page draws its own bars: no image to point at.
  WriteFile(dir.File("p.dat"), "LOOKUP=N\nINFILE=access.log\nOUTFILE=r.html\nSTYLE=MODERN\n");
  EXPECT_EQ(RunProgram(dir.path(), {"p.dat"}).errors, "");
}

TEST(Diagnostics, ALogInAnotherFormatIsSummedUpInAFewLines) {
  std::string log;
  for (int i = 0; i < 2000; ++i) {
    log += "{\"time\":\"2024-05-01T10:00:00Z\",\"ip\":\"10.0.0." + std::to_string(i % 250) +
           "\",\"path\":\"/x\"}\n";
  }
  log += kLine;
  log += "10.0.0.2 - - [7/Oct/1998 no time here\n";
  TempDir dir;
  LogRun run = RunOnLog(dir, log, 'N', "hstb_loc=.\n");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.errors,
            "logvane: access.log: warning: 2001 of 2002 records were rejected\n"
            "logvane: access.log:1: note: 2000 without \"[\" in their first 250 characters "
            "(console: \"~\"), the first here\n"
            "logvane: access.log:2002: note: 1 without \":\" after the date (console: \"Hour Not "
            "Found in:\"), the first here\n"
            "logvane: access.log:1: warning: more than half of the records were rejected: the "
            "log does not look like common or combined log format; the first rejected line is "
            "'{\"time\":\"2024-05-01T10:00:00Z\",\"ip\":\"10.0.0.0\",\"path\":\"/x\"}'\n");
  EXPECT_NE(run.console.find(std::string(2000, '~')), std::string::npos);
}

TEST(Diagnostics, ByteCountsASumCannotHoldAreSummedUp) {
  auto line = [](const std::string& bytes) {
    return "10.0.0.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /a HTTP/1.0\" 200 " + bytes + "\n";
  };
  // 2^53 itself is exact; one more, or any negative count, is not.
  const std::string log = line("9007199254740992") + line("-99999999999999999999") + line("-1") +
                          line("9007199254740993") + line("5");
  TempDir dir;
  LogRun run = RunOnLog(dir, log, 'N', "hstb_loc=.\n");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.errors,
            "logvane: access.log:2: warning: 3 records have a byte count that is negative or "
            "above 2^53, so the K bytes it adds to are not exact; the first here\n");
}

TEST(Diagnostics, AFullTableIsSummedUpOnce) {
  std::string log;
  for (int i = 0; i < 3010; ++i) {
    log += "10.0.0.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /a HTTP/1.0\" 200 1 \"ref" +
           std::to_string(i) + "\" \"agent\"\n";
  }
  TempDir dir;
  LogRun run = RunOnLog(dir, log, 'N', "hstb_loc=.\n");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.errors,
            "logvane: access.log: warning: the Extra 1 table ran full at 3000 keys: 10 records "
            "brought new keys that were dropped, and the report's totals leave them out\n");
  // The console keeps its line for every dropped record.
  size_t full = 0;
  for (size_t at = 0; (at = run.console.find("*ERROR* More than 3000 unique extra(1) entries.\n",
                                             at)) != std::string::npos;
       ++at) {
    ++full;
  }
  EXPECT_EQ(full, 10u);
}

TEST(Diagnostics, CheckReadsTheParametersAndNothingElse) {
  TempDir dir;
  WriteFile(dir.File("access.log"), kLine);
  WriteFile(dir.File("good.dat"), "INFILE=access.log\nOUTFILE=r.html\nLOOKUP=X\nPLOW\n");
  ProgramResult good = RunProgram(dir.path(), {"--check", "good.dat"});
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.errors, kBarNote);
  EXPECT_TRUE(
      good.output.starts_with("Checking parameter file: good.dat\n\n"
                              "Input file: access.log\nOutput file: r.html\n"
                              "lookup flag set to: X\nrun at a lower priority..\n\n"
                              "Effective settings:\n"
                              "  input log         'access.log'\n"
                              "  report            'r.html'\n"))
      << good.output;
  EXPECT_NE(good.output.find("  reverse lookups   names from lvipname.dat only;"),
            std::string::npos);
  // No report, no cache file.
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"access.log", "good.dat"}));

  WriteFile(dir.File("lvparam.dat"), "INFLE=access.log\nINFILE=gone.log\nOUTFILE=no/r.html\n");
  ProgramResult bad = RunProgram(dir.path(), {"--check"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.errors,
            "logvane: lvparam.dat:1: warning: unknown keyword 'INFLE': line ignored; did you "
            "mean INFILE?\n"
            "logvane: cannot open input file 'gone.log': No such file or directory\n"
            "logvane: warning: the report 'no/r.html' will not be writable (directory 'no': No "
            "such file or directory): the run will read the whole log and then fail\n" +
                kBarNote);

  EXPECT_NE(RunProgram(dir.path(), {"--help"})
                .output.find("logvane --check [PARAMETER-FILE | OPTION... LOG...]\n"),
            std::string::npos);

  ProgramResult none = RunProgram(dir.path(), {"--check", "none.dat"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.errors,
            "logvane: cannot open parameter file 'none.dat': No such file or directory\n");
  EXPECT_EQ(none.output, "");
}

}  // namespace
}  // namespace logvane::testing
