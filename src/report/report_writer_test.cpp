#include "report/report_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/fault_env.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::FilesIn;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::unique_ptr<ReportWriter> Created(Env& env, const std::string& path) {
  std::unique_ptr<ReportWriter> out;
  Status s = ReportWriter::Create(env, path, &out);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return out;
}

TEST(ReportWriterTest, WritesEveryByteInOrder) {
  TempDir dir;
  SystemEnv env;
  std::string path = dir.File("report.html");
  std::string expected;
  {
    std::unique_ptr<ReportWriter> out = Created(env, path);
    ASSERT_TRUE(out);
    // Well past one buffer's worth, so several writes reach the file.
    for (int i = 0; i < 30000; ++i) {
      out->Write("<tr>");
      out->WriteInt(i - 15000);
      expected += "<tr>" + std::to_string(i - 15000);
    }
    EXPECT_TRUE(out->Close().ok());
    EXPECT_TRUE(out->Close().ok());  // a second close changes nothing
  }
  EXPECT_EQ(ReadFile(path), expected);

  // A shorter report over the long one leaves none of it behind; a device
  // is written as it is.
  for (const std::string& target : {path, std::string("/dev/null")}) {
    std::unique_ptr<ReportWriter> shorter = Created(env, target);
    ASSERT_TRUE(shorter);
    shorter->Write("<html>");
    EXPECT_TRUE(shorter->Close().ok()) << target;
  }
  EXPECT_EQ(ReadFile(path), "<html>");
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"report.html"});
}

TEST(ReportWriterTest, FailuresAreReported) {
  TempDir dir;
  SystemEnv env;
  std::unique_ptr<ReportWriter> out;
  EXPECT_EQ(ReportWriter::Create(env, dir.path(), &out).sysError(), EISDIR);
  EXPECT_FALSE(ReportWriter::Create(env, "", &out).ok());
  EXPECT_EQ(ReportWriter::Create(env, dir.File("missing/report.html"), &out).sysError(), ENOENT);

  std::unique_ptr<ReportWriter> full = Created(env, "/dev/full");
  ASSERT_TRUE(full);
  full->Write("<html>");
  EXPECT_EQ(full->Close().sysError(), ENOSPC);

  std::unique_ptr<ReportWriter> fullLarge = Created(env, "/dev/full");
  ASSERT_TRUE(fullLarge);
  for (int i = 0; i < 20000; ++i) fullLarge->Write("0123456789");
  EXPECT_EQ(fullLarge->Close().sysError(), ENOSPC);
}

// A report that cannot be finished, at whichever step, leaves yesterday's
// report byte for byte and nothing beside it.
TEST(ReportWriterTest, AFailedReportLeavesTheOldOneWhole) {
  const struct {
    const char* name;
    EnvCall call;
    int error;
    uint64_t afterBytes;
  } cases[] = {
      {"full device midway", EnvCall::kWrite, ENOSPC, 70000},
      {"full device at once", EnvCall::kWrite, ENOSPC, 0},
      {"sync", EnvCall::kSync, EIO, 0},
      {"rename", EnvCall::kRename, EXDEV, 0},
  };
  const std::string old = "<html>yesterday's report</html>\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(dir.File("report.html"), old);
    FaultEnv env(dir.path());
    env.FailOn(c.call, "report.html", c.error, c.afterBytes);
    std::unique_ptr<ReportWriter> out = Created(env, "report.html");
    ASSERT_TRUE(out);
    for (int i = 0; i < 20000; ++i) out->Write("0123456789");
    EXPECT_EQ(out->Close().sysError(), c.error);
    EXPECT_EQ(ReadFile(dir.File("report.html")), old);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"report.html"});
  }

  // A writer dropped without its Close() changes nothing either.
  TempDir dir;
  WriteFile(dir.File("report.html"), old);
  FaultEnv env(dir.path());
  Created(env, "report.html")->Write("<html>half");
  EXPECT_EQ(ReadFile(dir.File("report.html")), old);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"report.html"});
}

TEST(ReportWriterTest, ReplacesTheReportWhereALinkPointsAndKeepsItsPermissions) {
  TempDir dir;
  WriteFile(dir.File("real.html"), "old");
  ASSERT_EQ(::chmod(dir.File("real.html").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.html", dir.File("report.html").c_str()), 0);
  FaultEnv env(dir.path());
  std::unique_ptr<ReportWriter> out = Created(env, "report.html");
  ASSERT_TRUE(out);
  out->Write("new");
  ASSERT_TRUE(out->Close().ok());
  EXPECT_EQ(ReadFile(dir.File("real.html")), "new");
  struct stat link {};
  ASSERT_EQ(::lstat(dir.File("report.html").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  struct stat real {};
  ASSERT_EQ(::stat(dir.File("real.html").c_str(), &real), 0);
  EXPECT_EQ(real.st_mode & 0777, 0640u);
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"real.html", "report.html"}));
}

TEST(ReportWriterTest, AnOldReportInAFolderThatTakesNoNewFileIsRewrittenInPlace) {
  TempDir dir;
  WriteFile(dir.File("report.html"), "a much longer old report");
  FaultEnv env(dir.path());
  // The new file beside it is refused, as in a folder without write access.
  env.FailOn(EnvCall::kCreate, ".new", EACCES);
  std::unique_ptr<ReportWriter> out = Created(env, "report.html");
  ASSERT_TRUE(out);
  out->Write("<html>");
  ASSERT_TRUE(out->Close().ok());
  EXPECT_EQ(ReadFile(dir.File("report.html")), "<html>");
  EXPECT_EQ(env.Calls(EnvCall::kRename), 0);
}

// The probe asks by the open the run makes, and undoes it: nothing is left
// beside the target and no old report changes; a FIFO is not opened (that
// would wait for a reader), only asked whether it may be written.
TEST(ReportWriterTest, ProbeAsksByTheRunsOpenAndLeavesNothing) {
  TempDir dir;
  WriteFile(dir.File("old.html"), "yesterday");
  ASSERT_EQ(::mkdir(dir.File("kept").c_str(), 0755), 0);
  WriteFile(dir.File("kept/old.html"), "yesterday");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("nodir/r.html", dir.File("dangling.html").c_str()), 0);
  ASSERT_EQ(::symlink("made.html", dir.File("ahead.html").c_str()), 0);
  FaultEnv env(dir.path());
  // kept/ takes no new file; its old report is rewritten in place.
  env.FailOn(EnvCall::kCreate, "kept/", EACCES);
  const struct {
    const char* path;
    int error;
    const char* reason;  // as the warning gives it; empty: nothing to say
  } cases[] = {
      {"new.html", 0, ""},
      {"old.html", 0, ""},
      {"kept/old.html", 0, ""},
      {"kept/new.html", EACCES, "Permission denied"},
      {"fifo", 0, ""},
      {"ahead.html", 0, ""},
      {"dangling.html", ENOENT, "No such file or directory"},
      {"missing/r.html", ENOENT, "directory 'missing': No such file or directory"},
      {".", EISDIR, "Is a directory"},
  };
  for (const auto& c : cases) {
    Status s = ProbeReportTarget(env, c.path);
    EXPECT_EQ(s.sysError(), c.error) << c.path;
    EXPECT_EQ(s.Reason(), c.reason) << c.path;
  }
  EXPECT_EQ(ProbeReportTarget(env, "").code(), StatusCode::kInvalid);
  EXPECT_EQ(FilesIn(dir.path()),
            (std::vector<std::string>{"ahead.html", "dangling.html", "fifo", "kept", "old.html"}));
  EXPECT_EQ(FilesIn(dir.File("kept")), std::vector<std::string>{"old.html"});
  EXPECT_EQ(ReadFile(dir.File("old.html")), "yesterday");
  EXPECT_EQ(ReadFile(dir.File("kept/old.html")), "yesterday");
}

TEST(ReportWriterTest, StandardOutputIsWrittenDirectly) {
  FaultEnv env;
  env.FailOn(EnvCall::kWrite, "standard output", EPIPE);
  std::unique_ptr<ReportWriter> out = ReportWriter::ForStandardOutput(env);
  out->Write("<html>");
  EXPECT_EQ(out->Close().sysError(), EPIPE);
  EXPECT_EQ(env.Calls(EnvCall::kCreate), 0);
}

}  // namespace
}  // namespace logvane
