#include "platform/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(FileReplacementTest, AFailedReplacementLeavesTheOldFileAndNoTrace) {
  const struct {
    const char* failing;
    EnvCall call;
    int error;  // told to the operator
  } cases[] = {
      {"write", EnvCall::kWrite, ENOSPC},
      {"sync", EnvCall::kSync, EIO},
      {"rename", EnvCall::kRename, EXDEV},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    TempDir dir;
    WriteFile(dir.File("kept.dat"), "old\n");
    FaultEnv env(dir.path());
    env.FailOn(c.call, "kept.dat", c.error);
    std::unique_ptr<FileReplacement> file;
    ASSERT_TRUE(FileReplacement::Begin(env, "kept.dat", &file).ok());
    (void)file->Write("new\n");
    EXPECT_EQ(file->Commit().sysError(), c.error);
    EXPECT_EQ(ReadFile(dir.File("kept.dat")), "old\n");
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"kept.dat"});
  }

  TempDir dir;
  FaultEnv env(dir.path());
  WriteFile(dir.File("replaced.dat"), "old\n");
  {
    std::unique_ptr<FileReplacement> dropped;
    ASSERT_TRUE(FileReplacement::Begin(env, "replaced.dat", &dropped).ok());
    (void)dropped->Write("never committed\n");
  }
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"replaced.dat"});
  std::unique_ptr<FileReplacement> file;
  ASSERT_TRUE(FileReplacement::Begin(env, "replaced.dat", &file).ok());
  EXPECT_TRUE(file->Write("new\n").ok());
  EXPECT_TRUE(file->Commit().ok());
  EXPECT_EQ(ReadFile(dir.File("replaced.dat")), "new\n");
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"replaced.dat"});

  // A new file that cannot be made beside the target fails the start.
  env.FailOn(EnvCall::kCreate, "replaced.dat", EACCES);
  EXPECT_EQ(FileReplacement::Begin(env, "replaced.dat", &file).sysError(), EACCES);
}

// A link keeps pointing where it did, also when the file it names is not
// there yet; where that file cannot be made, Begin says why.
TEST(FileReplacementTest, ALinkThatNamesNoFileYetStays) {
  TempDir dir;
  ASSERT_EQ(::symlink("made.dat", dir.File("link.dat").c_str()), 0);
  ASSERT_EQ(::symlink("nodir/x.dat", dir.File("dangling.dat").c_str()), 0);
  FaultEnv env(dir.path());
  std::unique_ptr<FileReplacement> file;
  ASSERT_TRUE(FileReplacement::Begin(env, "link.dat", &file).ok());
  ASSERT_TRUE(file->Write("new\n").ok());
  ASSERT_TRUE(file->Commit().ok());
  EXPECT_EQ(ReadFile(dir.File("made.dat")), "new\n");
  struct stat link {};
  ASSERT_EQ(::lstat(dir.File("link.dat").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_EQ(FileReplacement::Begin(env, "dangling.dat", &file).code(), StatusCode::kNotFound);
  EXPECT_EQ(FilesIn(dir.path()),
            (std::vector<std::string>{"dangling.dat", "link.dat", "made.dat"}));
}

}  // namespace
}  // namespace logvane
