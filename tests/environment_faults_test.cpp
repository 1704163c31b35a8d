// Whole runs whose surroundings fail them: a full device, directories that
// may not be written, files that cannot be read, a cache path that is a
// directory. Each run ends as its failure says, the old report stays whole
// when the new one cannot be finished, and the cache file keeps every record
// it held. The failures come from the machine the run is given (FaultEnv),
// in this process.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/markup_check.h"
#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

const char kLog[] = "192.0.2.1 - - [07/Oct/1998:13:55:36 -0700] \"GET / HTTP/1.0\" 200 1\n";
const char kCache[] = "192.0.2.1,known.example.org\n10.0.0.9,ten.example\n";

// A directory with a log, a cache file and a parameter file that writes
// the report to `outputFile` with cached names only.
void Prepare(const TempDir& dir, const std::string& outputFile) {
  WriteFile(dir.File("access.log"), kLog);
  WriteFile(dir.File("lvipname.dat"), kCache);
  WriteFile(dir.File("lvparam.dat"), "INFILE=access.log\nOUTFILE=" + outputFile + "\nLOOKUP=X\n");
}

TEST(EnvironmentFaults, ReportThatCannotBeWrittenLeavesTheCacheAlone) {
  struct Case {
    const char* outputFile;
    const char* end;
    const char* errors;  // after the note on the bar images
  };
  const std::string barNote =
      "logvane: note: the report's bars point at /hstb.gif, the root of the file system when "
      "the report is opened as a file; put hstb.gif beside the report and add the line "
      "hstb_loc=. to the parameter file\n";
  const Case cases[] = {
      {"/dev/full", "...... new output file created.\n*ERROR* Could not write output file.\n",
       "logvane: cannot write output file '/dev/full': No space left on device\n"},
      {"missing/report.html", "generating reports...\n*ERROR* Could not open output file.",
       "logvane: cannot create output file 'missing/report.html': No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outputFile);
    TempDir dir;
    Prepare(dir, c.outputFile);
    ProgramResult r = RunProgram(dir.path(), {});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.output.ends_with(c.end)) << r.output;
    EXPECT_TRUE(r.errors.ends_with(barNote + c.errors)) << r.errors;
    EXPECT_NE(r.output.find("translating names...\n"), std::string::npos);
    // No save follows an early end: the file is as it was, and nothing
    // was left beside it.
    EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kCache);
    EXPECT_EQ(FilesIn(dir.path()),
              (std::vector<std::string>{"access.log", "lvipname.dat", "lvparam.dat"}));
  }
}

TEST(EnvironmentFaults, UnwritableOutputDirectory) {
  TempDir dir;
  Prepare(dir, "reports/report.html");
  std::filesystem::create_directory(dir.File("reports"));
  // The folder takes no new file, as one without write access.
  FaultEnv machine(dir.path());
  machine.FailOn(EnvCall::kCreate, "reports/", EACCES);
  ProgramResult r = RunInProcess(machine, {});
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(r.output.ends_with(
      "translating names...\n\n\ngenerating reports...\n*ERROR* Could not open output file."))
      << r.output;
  EXPECT_TRUE(
      r.errors.ends_with("logvane: cannot create output file 'reports/report.html': "
                         "Permission denied\n"))
      << r.errors;
  EXPECT_TRUE(FilesIn(dir.File("reports")).empty());
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kCache);
}

TEST(EnvironmentFaults, ReadOnlyWorkingDirectoryKeepsTheOldCache) {
  TempDir dir;
  Prepare(dir, "reports/report.html");
  std::filesystem::create_directory(dir.File("reports"));
  // The cache file itself may be written; a new one beside it may not.
  FaultEnv machine(dir.path());
  machine.FailOn(EnvCall::kCreate, "lvipname.dat.", EACCES);
  ProgramResult r = RunInProcess(machine, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(
      MaskRunTimes(r.output).ends_with(std::string("finished: ") + kFakeTime +
                                       "\n*WARNING* cannot create cache file.\nclosing...\n"))
      << r.output;
  EXPECT_TRUE(
      r.errors.ends_with("logvane: cannot write cache file 'lvipname.dat': "
                         "Permission denied\n"))
      << r.errors;
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kCache);
  EXPECT_EQ(FilesIn(dir.path()),
            (std::vector<std::string>{"access.log", "lvipname.dat", "lvparam.dat", "reports"}));
  std::string report = ReadFile(dir.File("reports/report.html"));
  EXPECT_NE(report.find("known.example.org"), std::string::npos);
  EXPECT_EQ(CheckOwnMarkup(report).problem, "");
}

// A report that cannot be finished (the device fills up midway, the sync or
// the rename fails) leaves yesterday's report byte for byte and nothing
// beside it; the run ends as for any report that cannot be written.
TEST(EnvironmentFaults, AReportThatCannotBeFinishedLeavesTheOldOne) {
  const struct {
    EnvCall call;
    uint64_t afterBytes;
    int error;
    const char* reason;
  } cases[] = {
      {EnvCall::kWrite, 100, ENOSPC, "No space left on device"},
      {EnvCall::kSync, 0, EIO, "Input/output error"},
      {EnvCall::kRename, 0, EXDEV, "Invalid cross-device link"},
  };
  const std::string old = "<html>yesterday's report</html>\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    TempDir dir;
    Prepare(dir, "report.html");
    WriteFile(dir.File("report.html"), old);
    FaultEnv machine(dir.path());
    machine.FailOn(c.call, "report.html", c.error, c.afterBytes);
    ProgramResult r = RunInProcess(machine, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        r.output.ends_with("generating reports...\n...... new output file created.\n"
                           "*ERROR* Could not write output file.\n"))
        << r.output;
    EXPECT_TRUE(r.errors.ends_with(
        "logvane: cannot write output file 'report.html': " + std::string(c.reason) + "\n"))
        << r.errors;
    EXPECT_EQ(ReadFile(dir.File("report.html")), old);
    EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kCache);
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"access.log", "lvipname.dat",
                                                             "lvparam.dat", "report.html"}));
  }
}

// A log that cannot be opened or read, and a cache that cannot be read to
// its end: each says so where the operator looks.
TEST(EnvironmentFaults, UnreadableLogAndCache) {
  TempDir dir;
  Prepare(dir, "report.html");
  FaultEnv unopened(dir.path());
  unopened.FailOn(EnvCall::kOpen, "access.log", EACCES);
  ProgramResult r = RunInProcess(unopened, {});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.output.ends_with("*ERROR* Could not open input file.")) << r.output;
  EXPECT_TRUE(
      r.errors.ends_with("logvane: cannot open input file 'access.log': Permission denied\n"))
      << r.errors;

  FaultEnv unread(dir.path());
  unread.FailOn(EnvCall::kRead, "access.log", EIO, 10);
  unread.FailOn(EnvCall::kRead, "lvipname.dat", EIO, 28);
  r = RunInProcess(unread, {});
  EXPECT_EQ(r.status, 3);  // the report is written, from part of the log
  EXPECT_NE(r.output.find("...... IP name file closed.  1 records loaded.\n"), std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("Error reading file...\ncompleted reading... processed: 1 records.\n"),
            std::string::npos)
      << r.output;
  EXPECT_TRUE(r.output.ends_with("closing...\n")) << r.output;
  EXPECT_NE(r.errors.find("logvane: cannot read cache file 'lvipname.dat' after byte 28: "
                          "Input/output error\n"),
            std::string::npos)
      << r.errors;
  EXPECT_NE(r.errors.find("logvane: cannot read input file 'access.log': Input/output error\n"),
            std::string::npos)
      << r.errors;
  EXPECT_EQ(UntidyDiagnostics(r.errors), "");
}

TEST(EnvironmentFaults, CachePathThatIsADirectory) {
  TempDir dir;
  Prepare(dir, "report.html");
  std::filesystem::remove(dir.File("lvipname.dat"));
  std::filesystem::create_directory(dir.File("lvipname.dat"));
  WriteFile(dir.File("lvipname.dat/inside"), "kept");
  ProgramResult r = RunProgram(dir.path(), {});
  EXPECT_EQ(r.status, 0);
  std::string console = MaskRunTimes(r.output);
  EXPECT_NE(console.find("...... parameters file closed.\n\n"
                         "*NOTE* No previous IP names file found.\n"
                         "...... input file opened.\n"),
            std::string::npos)
      << console;
  EXPECT_TRUE(console.ends_with(std::string("finished: ") + kFakeTime +
                                "\n...... new cache file created - writing records.\n"
                                "*WARNING* cannot create cache file.\nclosing...\n"))
      << console;
  EXPECT_TRUE(
      r.errors.starts_with("logvane: cannot open cache file 'lvipname.dat': "
                           "Is a directory\n"))
      << r.errors;
  EXPECT_TRUE(
      r.errors.ends_with("logvane: cannot write cache file 'lvipname.dat': "
                         "Is a directory\n"))
      << r.errors;
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat/inside")), "kept");
  EXPECT_EQ(FilesIn(dir.path()),
            (std::vector<std::string>{"access.log", "lvipname.dat", "lvparam.dat", "report.html"}));
}

}  // namespace
}  // namespace logvane::testing
