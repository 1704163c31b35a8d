#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <utility>

namespace logvane {

namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file that is really replaced: a file reached through a link is
// rewritten where the link points, and the link stays.
std::string ReplacedPath(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

}  // namespace

const FileCalls& SystemFileCalls() {
  static const FileCalls calls{::read, ::write, ::fsync, std::rename};
  return calls;
}

int OpenFileForReading(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode))) {
    // The reason the operator is told.
    int why = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    fd = -1;
    errno = why;
  }
  return fd;
}

int CreateFileForWriting(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}

bool CutFileTo(int fd, uint64_t size) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) == size) return true;
  for (;;) {
    if (::ftruncate(fd, static_cast<off_t>(size)) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool CloseFile(int fd) { return ::close(fd) == 0; }

ssize_t ReadSome(int fd, char* buffer, size_t size, const FileCalls& calls) {
  for (;;) {
    ssize_t n = calls.read(fd, buffer, size);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : n;
  }
}

bool ReadWholeFile(const std::string& path, std::string* content, const FileCalls& calls) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  content->clear();
  char chunk[1 << 16];
  for (;;) {
    ssize_t n = ReadSome(fd, chunk, sizeof(chunk), calls);
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    content->append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool WriteAll(int fd, std::string_view data, const FileCalls& calls) {
  while (!data.empty()) {
    ssize_t n = calls.write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::unique_ptr<FileReplacement> FileReplacement::Begin(const std::string& path,
                                                        const FileCalls& calls) {
  const std::string target = ReplacedPath(path);
  // An old file that this user may not write is kept as it is.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return nullptr;
  std::string fresh = target + "." + std::to_string(::getpid()) + ".new";
  int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left behind by a run that was stopped while saving.
    ::unlink(fresh.c_str());
    fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) return nullptr;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);
  return std::unique_ptr<FileReplacement>(new FileReplacement(target, std::move(fresh), fd, calls));
}

FileReplacement::FileReplacement(std::string target, std::string fresh, int fd,
                                 const FileCalls& calls)
    : target_(std::move(target)), fresh_(std::move(fresh)), fd_(fd), calls_(calls) {}

FileReplacement::~FileReplacement() {
  if (!done_) Discard();
}

bool FileReplacement::Write(std::string_view data) {
  if (!ok_) return false;
  errno = 0;
  ok_ = WriteAll(fd_, data, calls_);
  // A write that took nothing sets no errno: the device is full.
  if (!ok_) error_ = errno != 0 ? errno : ENOSPC;
  return ok_;
}

bool FileReplacement::Commit() {
  if (done_) return false;
  // A file system that cannot sync a file (EINVAL) still gets the rename.
  auto fail = [this] {
    if (ok_) error_ = errno != 0 ? errno : EIO;
    ok_ = false;
  };
  if (ok_ && calls_.fsync(fd_) != 0 && errno != EINVAL) fail();
  if (::close(fd_) != 0) fail();
  fd_ = -1;
  if (ok_ && calls_.rename(fresh_.c_str(), target_.c_str()) != 0) fail();
  if (!ok_) {
    Discard();
    return false;
  }
  done_ = true;
  // So that the new name survives a crash as well; not needed for the run.
  int directory = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    (void)calls_.fsync(directory);
    ::close(directory);
  }
  return true;
}

void FileReplacement::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(fresh_.c_str());
  done_ = true;
}

}  // namespace logvane
