// The one seam for file contents: reading a whole file, writing all of a
// buffer, and replacing a file atomically (written beside it, synced, then
// renamed over it). Every read and write retries a call that a signal
// interrupted and nothing else. The system calls sit in FileCalls, so that
// tests can make a write, a sync or a rename fail in-process.
#ifndef LOGVANE_PLATFORM_FILE_IO_H_
#define LOGVANE_PLATFORM_FILE_IO_H_

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace logvane {

struct FileCalls {
  ssize_t (*read)(int fd, void* buffer, size_t size);
  ssize_t (*write)(int fd, const void* data, size_t size);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
};

// The operating system's own calls.
const FileCalls& SystemFileCalls();

// A descriptor for reading the file at `path`, or -1 when it cannot be
// opened or is a directory (which opens, but holds no bytes to read); errno
// then says why.
int OpenFileForReading(const std::string& path);

// Closes `fd`; false when the close reports an error (a write that failed
// late).
bool CloseFile(int fd);

// Up to `size` bytes from `fd`: their count, 0 at the end, -1 on an error.
ssize_t ReadSome(int fd, char* buffer, size_t size, const FileCalls& calls = SystemFileCalls());

// The whole file at `path` into `content`; false when it cannot be opened
// or read.
bool ReadWholeFile(const std::string& path, std::string* content,
                   const FileCalls& calls = SystemFileCalls());

// A descriptor for writing the file at `path` from its start, created when
// missing; -1 when it cannot be. An existing file keeps its old bytes past
// those written until CutFileTo: cutting a file to nothing before writing
// it makes the file system write it out when it is closed, and the next
// run waits for that.
int CreateFileForWriting(const std::string& path);

// Cuts the regular file at `fd` to `size` bytes; true, and nothing done,
// for other files (a pipe, a device), which have no length.
bool CutFileTo(int fd, uint64_t size);

// Writes all of `data` to `fd`; false when a write fails or writes nothing.
bool WriteAll(int fd, std::string_view data, const FileCalls& calls = SystemFileCalls());

// A new file being written beside `target`, moved over it by Commit. A
// replacement dropped without a successful Commit leaves no trace: the new
// file is removed and the old one stays as it was.
class FileReplacement {
 public:
  // Creates the new file beside the file at `path` (where a link there
  // points) with the old file's permissions; none when it cannot be
  // created or the old file may not be written.
  static std::unique_ptr<FileReplacement> Begin(const std::string& path,
                                                const FileCalls& calls = SystemFileCalls());
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False once any write has failed.
  bool Write(std::string_view data);
  // Syncs and closes the new file and renames it over the target; false
  // (and the new file removed) when any step failed.
  bool Commit();
  // The errno value of the step that failed, 0 while none has.
  int error() const { return error_; }

 private:
  FileReplacement(std::string target, std::string fresh, int fd, const FileCalls& calls);
  void Discard();

  std::string target_;
  std::string fresh_;
  int fd_;
  const FileCalls& calls_;
  bool ok_ = true;
  bool done_ = false;
  int error_ = 0;
};

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_FILE_IO_H_
