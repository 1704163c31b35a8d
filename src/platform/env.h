// Env: everything a run asks of the machine, behind one seam, in the manner
// of LevelDB's: files, the clock, the host name, sockets, priority, the
// reverse resolver and threads. The run holds one Env and hands it to each
// phase that needs it; nothing reaches the system around it. SystemEnv is
// the real machine; FaultEnv (platform/fault_env.h) answers like a fixed
// machine and fails a chosen call on purpose.
#ifndef LOGVANE_PLATFORM_ENV_H_
#define LOGVANE_PLATFORM_ENV_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/status.h"
#include "platform/resolver.h"

namespace logvane {

// The host name field holds at most this many characters.
inline constexpr size_t kHostNameWidth = 49;

// A file read from its start to its end.
class SequentialFile {
 public:
  virtual ~SequentialFile() = default;
  // Up to `size` bytes into `buffer`, their count in `*got`: 0 at the end.
  virtual Status Read(char* buffer, size_t size, size_t* got) = 0;
};

// A file written from its start. Every failure is kept: after one, Append
// and Sync give it again, and Close still closes.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual Status Append(std::string_view data) = 0;  // all of it, or a failure
  // To the device. A file that cannot be synced (a pipe, a device) is ok.
  virtual Status Sync() = 0;
  // A close that reports a late write failure gives it.
  virtual Status Close() = 0;
};

enum class FileKind : unsigned char { kRegular, kDirectory, kOther };

struct FileInfo {
  FileKind kind = FileKind::kOther;
  uint32_t permissions = 0;  // the mode's permission bits
  uint64_t size = 0;
  // This process may write the file (a directory: make files in it).
  bool writable = false;
  // For a symbolic link, the file it finally names; else empty. A link
  // that names no file (Stat gives kNotFound) still gives the path where
  // that file would be.
  std::string linkTarget;
};

struct WriteOptions {
  // Fail with EEXIST when the file is there (a new file beside a target);
  // otherwise an existing regular file is cut to nothing first.
  bool exclusive = false;
  // Given to a file this call creates; -1 leaves 0666 less the umask.
  int32_t permissions = -1;
};

class Env {
 public:
  virtual ~Env() = default;

  // Files. A directory opens for reading but holds no bytes: EISDIR.
  virtual Status OpenForReading(const std::string& path, std::unique_ptr<SequentialFile>* file) = 0;
  virtual Status NewWritableFile(const std::string& path, const WriteOptions& options,
                                 std::unique_ptr<WritableFile>* file) = 0;
  // Standard output as a file: Close() leaves the descriptor open.
  virtual std::unique_ptr<WritableFile> StandardOutput() = 0;
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  virtual Status RemoveFile(const std::string& path) = 0;
  // What is at `path` (a link followed, its target named); kNotFound when
  // nothing is.
  virtual Status Stat(const std::string& path, FileInfo* info) = 0;
  // The names in `directory`, "." and ".." left out, in no order.
  virtual Status GetChildren(const std::string& directory, std::vector<std::string>* names) = 0;
  // So that a rename in `directory` survives a crash.
  virtual Status SyncDirectory(const std::string& directory) = 0;

  // The clock: "Www Mmm dd hh:mm:ss yyyy\n" local time, and calendar time
  // in whole seconds.
  virtual std::string LocalTimeText() = 0;
  virtual int64_t NowSeconds() = 0;

  // The host: sockets, its name (at most kHostNameWidth characters),
  // priority (PLOW).
  virtual Status StartSockets() = 0;
  virtual void StopSockets() = 0;
  virtual Status HostName(std::string* name) = 0;
  virtual void LowerPriority() = 0;

  // The reverse resolver, as a function that holds what it needs: a lookup
  // given up at its time-out runs on, and may outlive the run.
  virtual ReverseResolver Resolver() = 0;

  // Starts `body` on a new thread, handed to the caller in `*thread` to
  // join or detach.
  virtual Status StartThread(std::function<void()> body, std::thread* thread) = 0;
};

// The machine the program runs on.
class SystemEnv : public Env {
 public:
  Status OpenForReading(const std::string& path, std::unique_ptr<SequentialFile>* file) override;
  Status NewWritableFile(const std::string& path, const WriteOptions& options,
                         std::unique_ptr<WritableFile>* file) override;
  std::unique_ptr<WritableFile> StandardOutput() override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status Stat(const std::string& path, FileInfo* info) override;
  Status GetChildren(const std::string& directory, std::vector<std::string>* names) override;
  Status SyncDirectory(const std::string& directory) override;
  std::string LocalTimeText() override;
  int64_t NowSeconds() override;
  Status StartSockets() override;
  void StopSockets() override;
  Status HostName(std::string* name) override;
  void LowerPriority() override;
  ReverseResolver Resolver() override;
  Status StartThread(std::function<void()> body, std::thread* thread) override;
};

// The whole file at `path` into `content`.
Status ReadWholeFile(Env& env, const std::string& path, std::string* content);

// "Www Mmm dd hh:mm:ss yyyy\n" for the given broken-down local time.
std::string AsctimeText(int weekday, int month, int day, int hour, int minute, int second,
                        int64_t year);

// The folder part of `path`: "." for a bare name, "/" at the root.
std::string DirectoryOf(const std::string& path);

// Whether standard output is a terminal (rather than a file or a pipe).
bool StandardOutputIsTerminal();

// Processors online now, at least 1.
int32_t SystemOnlineCores();

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_ENV_H_
