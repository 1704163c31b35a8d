// OUTFILE=-: the report goes to standard output (a file or a pipe), the
// console lines to standard error, and a terminal is refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "support/test_support.h"

namespace logvane::testing {
namespace {

std::string ExampleLog() {
  return ReadFile(std::string(LOGVANE_SOURCE_DIR) + "/examples/sample.log");
}

std::string WithoutTime(const std::string& text) {
  return std::regex_replace(MaskTimes(text), std::regex("Report Produced: [^\n]*\n"), "");
}

std::string WithoutDiagnostics(const std::string& errors) {
  std::string kept;
  for (size_t at = 0; at < errors.size();) {
    size_t end = errors.find('\n', at);
    end = end == std::string::npos ? errors.size() : end + 1;
    if (errors.compare(at, 9, "logvane: ") != 0) kept.append(errors, at, end - at);
    at = end;
  }
  return kept;
}

TEST(ReportOnStandardOutput, ReportOnOutputConsoleOnErrorsSameAsAFile) {
  TempDir dir;
  std::string log = ExampleLog();
  WriteFile(dir.File("access.log"), log);
  const std::string common = "LOOKUP=N\nROBOTS=RPT\n";
  WriteFile(dir.File("file.dat"), "INFILE=access.log\nOUTFILE=file.html\n" + common);
  WriteFile(dir.File("out.dat"), "INFILE=access.log\nOUTFILE=-\n" + common);
  WriteFile(dir.File("pipes.dat"), "INFILE=-\nOUTFILE=-\n" + common);

  ProgramResult file = RunProgram(dir.path(), {"file.dat"});
  ProgramResult out = RunProgram(dir.path(), {"out.dat"});
  ProgramResult pipes = RunProgram(dir.path(), {"pipes.dat"}, GzipText(log));
  ASSERT_EQ(file.status, 0);
  // Standard error holds the operator's diagnostics, each line of them
  // behind "logvane: "; with OUTFILE=- the console joins them there.
  EXPECT_EQ(WithoutDiagnostics(file.errors), "");
  std::string report = WithoutTime(ReadFile(dir.File("file.html")));
  for (const ProgramResult* r : {&out, &pipes}) {
    EXPECT_EQ(r->status, 0);
    EXPECT_EQ(WithoutTime(r->output), report);
    EXPECT_TRUE(r->errors.starts_with("[Quorvel Logvane (v1.7.8)]\n"));
    EXPECT_TRUE(r->errors.ends_with("closing...\n"));
  }
  // The console is the file run's, but for the names of the files.
  std::string fileConsole =
      std::regex_replace(std::regex_replace(MaskTimes(file.output),
                                            std::regex("Output file: file.html"), "Output file: -"),
                         std::regex("PARAMETER file: file.dat"), "PARAMETER file: out.dat");
  EXPECT_EQ(MaskTimes(WithoutDiagnostics(out.errors)), fileConsole);
  EXPECT_FALSE(FileExists(dir.File("-")));
}

TEST(ReportOnStandardOutput, TerminalIsRefused) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  TempDir dir;
  WriteFile(dir.File("access.log"), ExampleLog());
  WriteFile(dir.File("p.dat"), "INFILE=access.log\nOUTFILE=-\nLOOKUP=N\n");
  // script(1) gives the program a terminal as standard output.
  std::string command = "cd '" + dir.path() +
                        "' && script -qec '" LOGVANE_BINARY
                        " p.dat; echo status=$?' /dev/null < /dev/null";
  std::string seen;
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char chunk[4096];
  while (size_t n = std::fread(chunk, 1, sizeof(chunk), pipe)) seen.append(chunk, n);
  ::pclose(pipe);
  EXPECT_NE(seen.find("...... parameters file closed.\r\n\r\n"
                      "*ERROR* OUTFILE=- writes the report to standard output, which is a "
                      "terminal: redirect it (logvane PARAMETER-FILE > report.html) or name "
                      "a file.\r\nstatus=1"),
            std::string::npos)
      << seen;
  EXPECT_EQ(seen.find("<html"), std::string::npos);
  EXPECT_EQ(seen.find("reading records"), std::string::npos);
}

}  // namespace
}  // namespace logvane::testing
