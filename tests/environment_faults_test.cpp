// Whole runs whose surroundings fail them: a full device, directories that
// may not be written, a cache path that is a directory. Each run ends as its
// failure says, and the cache file keeps every record it held.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(dir.File("reports").c_str(), 0555), 0);
  std::optional<ProgramResult> r = RunProgramUnprivileged(dir.path(), {});
  ASSERT_TRUE(r.has_value()) << "no user without write access";
  EXPECT_NE(r->status, 0);
  EXPECT_TRUE(r->output.ends_with(
      "translating names...\n\n\ngenerating reports...\n*ERROR* Could not open output file."))
      << r->output;
  EXPECT_TRUE(FilesIn(dir.File("reports")).empty());
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kCache);
}

TEST(EnvironmentFaults, ReadOnlyWorkingDirectoryKeepsTheOldCache) {
  TempDir dir;
  Prepare(dir, "reports/report.html");
  std::filesystem::create_directory(dir.File("reports"));
  // The cache file itself may be written; a new one beside it may not.
  ASSERT_EQ(::chmod(dir.File("lvipname.dat").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.File("reports").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  std::optional<ProgramResult> r = RunProgramUnprivileged(dir.path(), {});
  ::chmod(dir.path().c_str(), 0755);
  ASSERT_TRUE(r.has_value()) << "no user without write access";
  EXPECT_EQ(r->status, 0);
  EXPECT_TRUE(
      MaskRunTimes(r->output).ends_with(std::string("finished: ") + kFakeTime +
                                        "\n*WARNING* cannot create cache file.\nclosing...\n"))
      << r->output;
  EXPECT_TRUE(
      r->errors.ends_with("logvane: cannot write cache file 'lvipname.dat': "
                          "Permission denied\n"))
      << r->errors;
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kCache);
  EXPECT_EQ(FilesIn(dir.path()),
            (std::vector<std::string>{"access.log", "lvipname.dat", "lvparam.dat", "reports"}));
  std::string report = ReadFile(dir.File("reports/report.html"));
  EXPECT_NE(report.find("known.example.org"), std::string::npos);
  EXPECT_EQ(CheckOwnMarkup(report).problem, "");
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
