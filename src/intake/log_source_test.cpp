#include "intake/log_source.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "intake/log_reader.h"
#include "intake/read_records.h"
#include "support/reading_state.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::kFakeTime;
using testing::TempDir;
using testing::WriteFile;

// One log line of exactly 100 bytes.
std::string HundredByteLine() {
  std::string line = "192.0.2.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /";
  std::string tail = " HTTP/1.0\" 200 100\n";
  line.append(100 - line.size() - tail.size(), 'p').append(tail);
  return line;
}

// The opened log, read at most `firstRead` bytes the first time; then
// `change` is done to the file, and reading goes on as usual.
class ChangedAfterFirstRead : public LogSource {
 public:
  ChangedAfterFirstRead(std::unique_ptr<LogSource> file, size_t firstRead,
                        std::function<void()> change)
      : file_(std::move(file)), firstRead_(firstRead), change_(std::move(change)) {}
  Status Read(char* buffer, size_t size, size_t* got) override {
    if (!change_) return file_->Read(buffer, size, got);
    Status s = file_->Read(buffer, std::min(size, firstRead_), got);
    change_();
    change_ = nullptr;
    return s;
  }

 private:
  std::unique_ptr<LogSource> file_;
  size_t firstRead_;
  std::function<void()> change_;
};

TEST(LogSourceTest, ADirectoryOrMissingFileIsNoLog) {
  TempDir dir;
  SystemEnv env;
  std::unique_ptr<LogSource> log;
  EXPECT_EQ(OpenLogFile(env, dir.path(), &log).sysError(), EISDIR);
  EXPECT_EQ(OpenLogFile(env, dir.File("missing.log"), &log).code(), StatusCode::kNotFound);
  EXPECT_FALSE(OpenLogFile(env, "", &log).ok());
  EXPECT_EQ(log, nullptr);
  WriteFile(dir.File("a.log"), "x");
  EXPECT_TRUE(OpenLogFile(env, dir.File("a.log"), &log).ok());
  EXPECT_NE(log, nullptr);
}

// A log of 1,000 lines changed while it is read: reading ends normally
// with what the file still gave, and every line read stays counted.
TEST(LogSourceTest, FileChangedWhileItIsRead) {
  const std::string line = HundredByteLine();
  ASSERT_EQ(line.size(), 100u);
  std::string log;
  for (int i = 0; i < 1000; ++i) log += line;
  struct Case {
    const char* name;
    std::function<void(const std::string& path)> change;
    int64_t processed;
  };
  const Case cases[] = {
      // The open file lives on until it is closed.
      {"deleted", [](const std::string& path) { ::unlink(path.c_str()); }, 1000},
      {"cut to 200 lines",
       [](const std::string& path) { std::filesystem::resize_file(path, 20000); }, 200},
      // Cut below what was read: the first 50 lines were read already.
      {"cut to nothing", [](const std::string& path) { std::filesystem::resize_file(path, 0); },
       50},
      {"grown by 10 lines",
       [line](const std::string& path) {
         std::string more;
         for (int i = 0; i < 10; ++i) more += line;
         FILE* f = std::fopen(path.c_str(), "ab");
         std::fwrite(more.data(), 1, more.size(), f);
         std::fclose(f);
       },
       1010},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("access.log");
    WriteFile(path, log);
    SystemEnv env;
    std::unique_ptr<LogSource> file;
    ASSERT_TRUE(OpenLogFile(env, path, &file).ok());
    ChangedAfterFirstRead source(std::move(file), 50 * line.size(), [&] { c.change(path); });
    LogLineReader reader(source, kLinePieceWidth, 4 * kLinePieceWidth);
    std::unique_ptr<testing::ReadingState> state = testing::NewReadingState();
    std::string console;
    Console out(&console);
    FaultEnv machine;
    ReadRecords(state->settings, state->tallies, state->counters, reader, out, machine);
    std::string expected = " - reading records...\n\nstarted: ";
    expected.append(kFakeTime).append("\n");
    if (c.processed >= 1000) expected.append("1000 records\n");
    expected.append("End of file...\ncompleted reading... processed: ");
    expected.append(std::to_string(c.processed)).append(" records.\n");
    EXPECT_EQ(console, expected);
    EXPECT_EQ(state->tallies.users.slots[0].hits, c.processed);
    EXPECT_EQ(state->tallies.pages.slots[0].hits, c.processed);
  }
}

}  // namespace
}  // namespace logvane
