// Rotated, compressed logs and logs on a pipe give the report the plain
// file gives.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/test_support.h"

namespace logvane::testing {
namespace {

std::string ExampleLog() {
  return ReadFile(std::string(LOGVANE_SOURCE_DIR) + "/examples/sample.log");
}

std::string WithoutTime(const std::string& report) {
  return std::regex_replace(report, std::regex("Report Produced: [^\n]*\n"), "");
}

std::string Params(const std::string& input, const std::string& output) {
  return "INFILE=" + input + "\nOUTFILE=" + output + "\nLOOKUP=N\nROBOTS=RPT\n";
}

TEST(CompressedAndPiped, GzipAndPipeGiveThePlainReport) {
  TempDir dir;
  std::string log = ExampleLog();
  WriteFile(dir.File("access.log"), log);
  WriteFile(dir.File("access.log.2.gz"), GzipText(log));
  WriteFile(dir.File("plain.dat"), Params("access.log", "plain.html"));
  WriteFile(dir.File("gz.dat"), Params("access.log.2.gz", "gz.html"));
  WriteFile(dir.File("pipe.dat"), Params("-", "pipe.html"));
  WriteFile(dir.File("pipegz.dat"), Params("-", "pipegz.html"));

  ProgramResult plain = RunProgram(dir.path(), {"plain.dat"});
  ProgramResult gz = RunProgram(dir.path(), {"gz.dat"});
  ProgramResult pipe = RunProgram(dir.path(), {"pipe.dat"}, log);
  ProgramResult pipegz = RunProgram(dir.path(), {"pipegz.dat"}, GzipText(log));
  for (const ProgramResult* r : {&plain, &gz, &pipe, &pipegz}) {
    EXPECT_EQ(r->status, 0);
    EXPECT_NE(r->output.find("End of file...\ncompleted reading... processed: 410 records.\n"),
              std::string::npos);
  }
  std::string expected = WithoutTime(ReadFile(dir.File("plain.html")));
  EXPECT_GT(expected.size(), 5000u);
  EXPECT_EQ(WithoutTime(ReadFile(dir.File("gz.html"))), expected);
  EXPECT_EQ(WithoutTime(ReadFile(dir.File("pipe.html"))), expected);
  EXPECT_EQ(WithoutTime(ReadFile(dir.File("pipegz.html"))), expected);
}

TEST(CompressedAndPiped, DashAtThePromptReadsTheRestOfStandardInput) {
  TempDir dir;
  std::string log = ExampleLog();
  WriteFile(dir.File("access.log"), log);
  WriteFile(dir.File("p.dat"), "OUTFILE=prompt.html\nLOOKUP=N\n");
  WriteFile(dir.File("q.dat"), Params("access.log", "plain.html"));
  ProgramResult prompted = RunProgram(dir.path(), {"p.dat"}, "-\n" + log);
  EXPECT_EQ(prompted.status, 0);
  // The log starts on the line after the answer.
  EXPECT_NE(
      prompted.output.find("Please enter the input log filename: ...... input file opened.\n"),
      std::string::npos);
  EXPECT_NE(prompted.output.find("completed reading... processed: 410 records.\n"),
            std::string::npos);
}

TEST(CompressedAndPiped, PipedLogNeedsOutfile) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "INFILE=-\nLOOKUP=N\n");
  ProgramResult r = RunProgram(dir.path(), {"p.dat"}, ExampleLog());
  EXPECT_TRUE(
      r.output.ends_with("...... input file opened.\n"
                         "*ERROR* The log is read from standard input (INFILE=-): "
                         "name the report with OUTFILE in the parameter file.\n"));
  EXPECT_NE(r.status, 0);
}

TEST(CompressedAndPiped, DamagedGzipEndsReadingLikeAReadError) {
  TempDir dir;
  std::string packed = GzipText(ExampleLog());
  WriteFile(dir.File("cut.gz"), packed.substr(0, packed.size() / 2));
  WriteFile(dir.File("p.dat"), Params("cut.gz", "cut.html"));
  ProgramResult r = RunProgram(dir.path(), {"p.dat"});
  // The report is written, but the status tells that it covers part of
  // the log.
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.output.find("Error reading file...\ncompleted reading... processed: "),
            std::string::npos);
  EXPECT_TRUE(r.output.ends_with("closing...\n"));
  EXPECT_NE(ReadFile(dir.File("cut.html")).find("</body></html>\n"), std::string::npos);
}

// A real log of 10,000 lines whose trailer is damaged: every line is read
// and reported, the console says the file could not be read, and the exit
// status tells a script that the log was not read to its end.
TEST(CompressedAndPiped, ADamagedTrailerLosesNoLine) {
  const std::string real = "/work/shared/real-logs/elastic_apache_combined_2015.log";
  if (!FileExists(real)) GTEST_SKIP() << real << " is not here";
  TempDir dir;
  std::string packed = GzipText(ReadFile(real));
  WriteFile(dir.File("whole.gz"), packed);
  for (size_t at : {packed.size() - 6, packed.size() - 2}) {  // checksum, size
    std::string damaged = packed;
    damaged[at] = static_cast<char>(damaged[at] ^ 0xff);
    WriteFile(dir.File("damaged.gz"), damaged);
    WriteFile(dir.File("p.dat"), Params("damaged.gz", "damaged.html"));
    ProgramResult r = RunProgram(dir.path(), {"p.dat"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.output.find("Error reading file...\ncompleted reading... processed: 10000 "
                            "records.\n"),
              std::string::npos)
        << r.output;
    WriteFile(dir.File("p.dat"), Params("whole.gz", "whole.html"));
    ProgramResult whole = RunProgram(dir.path(), {"p.dat"});
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(WithoutTime(ReadFile(dir.File("damaged.html"))),
              WithoutTime(ReadFile(dir.File("whole.html"))));
  }
}

}  // namespace
}  // namespace logvane::testing
