#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace logvane {
namespace {

using testing::FilesIn;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Calls that fail on purpose; plain functions, as the seam takes pointers.
int interruptions = 0;  // EINTR answers still to give before the real call
ssize_t InterruptedWrite(int fd, const void* data, size_t size) {
  if (interruptions > 0) {
    --interruptions;
    errno = EINTR;
    return -1;
  }
  return ::write(fd, data, size < 3 ? size : 3);  // short writes too
}
ssize_t FailingWrite(int, const void*, size_t) {
  errno = ENOSPC;
  return -1;
}
int FailingSync(int) {
  errno = EIO;
  return -1;
}
int FailingRename(const char*, const char*) {
  errno = EXDEV;
  return -1;
}

FileCalls With(ssize_t (*write)(int, const void*, size_t), int (*fsync)(int),
               int (*rename)(const char*, const char*)) {
  FileCalls calls = SystemFileCalls();
  if (write != nullptr) calls.write = write;
  if (fsync != nullptr) calls.fsync = fsync;
  if (rename != nullptr) calls.rename = rename;
  return calls;
}

TEST(FileIoTest, WriteAllRetriesInterruptionsAndShortWrites) {
  TempDir dir;
  std::string path = dir.File("out.txt");
  int fd = CreateFileForWriting(path);
  ASSERT_GE(fd, 0);
  interruptions = 2;
  FileCalls calls = With(InterruptedWrite, nullptr, nullptr);
  EXPECT_TRUE(WriteAll(fd, "every byte arrives", calls));
  EXPECT_FALSE(WriteAll(fd, "x", With(FailingWrite, nullptr, nullptr)));
  ::close(fd);
  EXPECT_EQ(ReadFile(path), "every byte arrives");

  std::string content = "stale";
  EXPECT_TRUE(ReadWholeFile(path, &content));
  EXPECT_EQ(content, "every byte arrives");
  EXPECT_FALSE(ReadWholeFile(dir.File("missing"), &content));
  EXPECT_LT(OpenFileForReading(dir.path()), 0);  // a directory has no bytes
}

TEST(FileIoTest, AFailedReplacementLeavesTheOldFileAndNoTrace) {
  const struct {
    const char* failing;
    FileCalls calls;
    int error;  // told to the operator
  } cases[] = {
      {"write", With(FailingWrite, nullptr, nullptr), ENOSPC},
      {"sync", With(nullptr, FailingSync, nullptr), EIO},
      {"rename", With(nullptr, nullptr, FailingRename), EXDEV},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::string target = dir.File("kept.dat");
    WriteFile(target, "old\n");
    std::unique_ptr<FileReplacement> file = FileReplacement::Begin(target, c.calls);
    ASSERT_TRUE(file) << c.failing;
    file->Write("new\n");
    EXPECT_FALSE(file->Commit()) << c.failing;
    EXPECT_EQ(file->error(), c.error) << c.failing;
    EXPECT_EQ(ReadFile(target), "old\n") << c.failing;
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"kept.dat"}) << c.failing;
  }

  TempDir dir;
  std::string target = dir.File("replaced.dat");
  WriteFile(target, "old\n");
  {
    std::unique_ptr<FileReplacement> dropped = FileReplacement::Begin(target);
    ASSERT_TRUE(dropped);
    dropped->Write("never committed\n");
  }
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"replaced.dat"});
  std::unique_ptr<FileReplacement> file = FileReplacement::Begin(target);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Write("new\n"));
  EXPECT_TRUE(file->Commit());
  EXPECT_EQ(file->error(), 0);
  EXPECT_EQ(ReadFile(target), "new\n");
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"replaced.dat"});
}

}  // namespace
}  // namespace logvane
