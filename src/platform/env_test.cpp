#include "platform/env.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace logvane {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SystemEnvTest, ClockAndHost) {
  EXPECT_EQ(AsctimeText(4, 9, 8, 13, 55, 36, 1998), "Thu Oct  8 13:55:36 1998\n");
  EXPECT_EQ(AsctimeText(0, 0, 31, 0, 0, 0, 2027), "Sun Jan 31 00:00:00 2027\n");
  SystemEnv env;
  std::string now = env.LocalTimeText();
  EXPECT_EQ(now.size(), 25u);
  EXPECT_EQ(now.back(), '\n');
  std::string host;
  ASSERT_TRUE(env.HostName(&host).ok());
  EXPECT_LE(host.size(), kHostNameWidth);
}

TEST(SystemEnvTest, FilesSayWhyTheyFail) {
  TempDir dir;
  SystemEnv env;
  std::string content = "stale";
  EXPECT_EQ(ReadWholeFile(env, dir.File("missing"), &content).code(), StatusCode::kNotFound);
  // A directory opens, but has no bytes to read.
  EXPECT_EQ(ReadWholeFile(env, dir.path(), &content).sysError(), EISDIR);
  WriteFile(dir.File("a"), "every byte arrives");
  ASSERT_TRUE(ReadWholeFile(env, dir.File("a"), &content).ok());
  EXPECT_EQ(content, "every byte arrives");

  std::unique_ptr<WritableFile> file;
  WriteOptions fresh;
  fresh.exclusive = true;
  EXPECT_EQ(env.NewWritableFile(dir.File("a"), fresh, &file).sysError(), EEXIST);
  ASSERT_TRUE(env.NewWritableFile(dir.File("b"), fresh, &file).ok());
  ASSERT_TRUE(file->Append("x").ok());
  EXPECT_TRUE(file->Sync().ok());
  EXPECT_TRUE(file->Close().ok());

  FileInfo info;
  ASSERT_TRUE(env.Stat(dir.File("b"), &info).ok());
  EXPECT_EQ(info.kind, FileKind::kRegular);
  EXPECT_EQ(info.size, 1u);
  EXPECT_TRUE(info.writable);
  EXPECT_TRUE(info.linkTarget.empty());
  ASSERT_TRUE(env.Stat("/dev/null", &info).ok());
  EXPECT_EQ(info.kind, FileKind::kOther);
  EXPECT_EQ(env.Stat(dir.File("none"), &info).code(), StatusCode::kNotFound);
  std::vector<std::string> names;
  ASSERT_TRUE(env.GetChildren(dir.path(), &names).ok());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(env.GetChildren(dir.File("none"), &names).code(), StatusCode::kNotFound);
  EXPECT_EQ(env.Rename(dir.File("none"), dir.File("c")).code(), StatusCode::kNotFound);
  EXPECT_TRUE(env.RemoveFile(dir.File("b")).ok());
  EXPECT_EQ(env.RemoveFile(dir.File("b")).code(), StatusCode::kNotFound);

  std::unique_ptr<WritableFile> full;
  ASSERT_TRUE(env.NewWritableFile("/dev/full", WriteOptions(), &full).ok());
  EXPECT_EQ(full->Append("x").sysError(), ENOSPC);
  EXPECT_EQ(full->Append("y").sysError(), ENOSPC);  // the first failure is kept
}

void NoteSignal(int) {}

// A pipe takes a large write in pieces, and a signal interrupts it again
// and again: every byte still arrives, in order.
TEST(SystemEnvTest, WritesSurviveShortWritesAndInterruptions) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string sent;
  for (int i = 0; i < 40000; ++i) sent += std::to_string(i) + ",";
  std::string received;
  std::thread reader([&] {
    // The signals are meant for the writing thread.
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
    char chunk[4096];
    for (;;) {
      ssize_t n = ::read(fds[0], chunk, sizeof(chunk));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      received.append(chunk, static_cast<size_t>(n));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  struct sigaction action {};
  struct sigaction saved {};
  action.sa_handler = NoteSignal;  // no SA_RESTART: the write is interrupted
  ASSERT_EQ(::sigaction(SIGALRM, &action, &saved), 0);
  itimerval every{{0, 1000}, {0, 1000}};
  ASSERT_EQ(::setitimer(ITIMER_REAL, &every, nullptr), 0);
  {
    SystemEnv env;
    // The pipe's write end as a file; standard output stands in for the
    // way an unowned descriptor is kept.
    int saved1 = ::dup(STDOUT_FILENO);
    ASSERT_GE(::dup2(fds[1], STDOUT_FILENO), 0);
    std::unique_ptr<WritableFile> out = env.StandardOutput();
    EXPECT_TRUE(out->Append(sent).ok());
    EXPECT_TRUE(out->Close().ok());
    ::dup2(saved1, STDOUT_FILENO);
    ::close(saved1);
  }
  itimerval off{};
  ::setitimer(ITIMER_REAL, &off, nullptr);
  ::sigaction(SIGALRM, &saved, nullptr);
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  EXPECT_EQ(received, sent);
}

TEST(SystemEnvTest, ThreadsRun) {
  SystemEnv env;
  int ran = 0;
  std::thread thread;
  ASSERT_TRUE(env.StartThread([&ran] { ran = 1; }, &thread).ok());
  thread.join();
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace logvane
