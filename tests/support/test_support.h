// Shared helpers for tests: temporary directories, files, and running the
// built program. The machine with fixed answers is FaultEnv
// (platform/fault_env.h).
#ifndef LOGVANE_TESTS_SUPPORT_TEST_SUPPORT_H_
#define LOGVANE_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <string>
#include <vector>

#include "platform/fault_env.h"

namespace logvane::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// The names in a directory, sorted.
std::vector<std::string> FilesIn(const std::string& directory);

// The time text every fake clock gives.
inline constexpr const char* kFakeTime = kFixedTimeText;

struct ProgramResult {
  std::string output;  // everything written to standard output
  std::string errors;  // everything written to standard error
  int status = -1;     // exit status, or -1 when the program did not exit
};

// Runs the built logvane in `directory` with `args`, feeding `input` on
// standard input (closed at its end).
ProgramResult RunProgram(const std::string& directory, const std::vector<std::string>& args,
                         const std::string& input = "");

// `text` compressed as one gzip member.
std::string GzipText(const std::string& text);

// Replaces every "Www Mmm dd hh:mm:ss yyyy" time text by kFakeTime's, so
// transcripts of real runs can be compared whole.
std::string MaskTimes(const std::string& text);

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_TEST_SUPPORT_H_
