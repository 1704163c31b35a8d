// The report file of whole runs of the program.
#include <gtest/gtest.h>

#include <string>

#include "common/version.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

TEST(ReportFileTest, WrittenWholeOnASuccessfulRun) {
  TempDir dir;
  WriteFile(dir.File("lvparam.dat"), "INFILE=access.log\nOUTFILE=report.html\nLOOKUP=N\n");
  WriteFile(dir.File("access.log"), "");
  ProgramResult run = RunProgram(dir.path(), {});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("...... new output file created.\n\n finished reporting...\n"),
            std::string::npos)
      << run.output;
  std::string report = MaskTimes(ReadFile(dir.File("report.html")));
  EXPECT_TRUE(report.starts_with("<html><head>\n<title>Logvane Report</title>\n")) << report;
  EXPECT_NE(report.find("<font size=1><br>Report Produced: " + std::string(kFakeTime) + "\n"),
            std::string::npos);
  EXPECT_TRUE(report.ends_with("Logvane v" + std::string(kVersion) + "</h5>\n</body></html>\n"));
}

TEST(ReportFileTest, AFailedWriteEndsTheRunWithAnError) {
  TempDir dir;
  WriteFile(dir.File("lvparam.dat"), "INFILE=access.log\nOUTFILE=/dev/full\nLOOKUP=N\n");
  WriteFile(dir.File("access.log"), "");
  ProgramResult run = RunProgram(dir.path(), {});
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(run.output.ends_with(
      "...... new output file created.\n*ERROR* Could not write output file.\n"))
      << run.output;
  EXPECT_EQ(run.output.find("finished reporting"), std::string::npos);
  EXPECT_EQ(run.output.find("closing..."), std::string::npos);
}

}  // namespace
}  // namespace logvane::testing
