#include "platform/env.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

namespace logvane {

namespace {

// Every call below is retried when a signal interrupted it, and only then.
class PosixSequentialFile : public SequentialFile {
 public:
  PosixSequentialFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixSequentialFile() override { ::close(fd_); }

  Status Read(char* buffer, size_t size, size_t* got) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) {
        *got = static_cast<size_t>(n);
        return Status::Ok();
      }
      if (errno != EINTR) {
        *got = 0;
        return Status::FromErrno(errno, path_);
      }
    }
  }

 private:
  std::string path_;
  int fd_;
};

class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(std::string path, int fd, bool owned)
      : path_(std::move(path)), fd_(fd), owned_(owned) {}
  ~PosixWritableFile() override { (void)Close(); }

  Status Append(std::string_view data) override {
    if (!failure_.ok()) return failure_;
    while (!data.empty()) {
      ssize_t n = ::write(fd_, data.data(), data.size());
      if (n < 0 && errno == EINTR) continue;
      // A write that takes nothing sets no errno: the device is full.
      if (n <= 0) return failure_ = Status::FromErrno(n < 0 ? errno : ENOSPC, path_);
      data.remove_prefix(static_cast<size_t>(n));
    }
    return Status::Ok();
  }

  Status Sync() override {
    if (!failure_.ok()) return failure_;
    // A pipe or a device that cannot be synced has nothing to lose.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
      return failure_ = Status::FromErrno(errno, path_);
    }
    return Status::Ok();
  }

  Status Close() override {
    if (fd_ >= 0) {
      if (owned_ && ::close(fd_) != 0 && failure_.ok()) failure_ = Status::FromErrno(errno, path_);
      fd_ = -1;
    }
    return failure_;
  }

 private:
  std::string path_;
  int fd_;
  bool owned_;
  Status failure_;
};

// The end of the chain of links at `path` when it names no file: where that
// file would be. Empty when `path` is no link.
std::string DanglingTarget(const std::string& path) {
  std::string at = path;
  // As many hops as the system follows before it gives ELOOP.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat link {};
    if (::lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
      return hops == 0 ? std::string() : at;
    }
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(at.c_str(), buffer, sizeof(buffer));
    if (n <= 0 || static_cast<size_t>(n) == sizeof(buffer)) return {};
    std::string next(buffer, static_cast<size_t>(n));
    // A relative link names a file beside itself.
    if (next[0] != '/') {
      std::string folder = DirectoryOf(at);
      next = (folder.back() == '/' ? folder : folder + "/") + next;
    }
    at = std::move(next);
  }
  return {};
}

}  // namespace

Status SystemEnv::OpenForReading(const std::string& path, std::unique_ptr<SequentialFile>* file) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::FromErrno(errno, path);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    int why = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    return Status::FromErrno(why, path);
  }
  *file = std::make_unique<PosixSequentialFile>(path, fd);
  return Status::Ok();
}

Status SystemEnv::NewWritableFile(const std::string& path, const WriteOptions& options,
                                  std::unique_ptr<WritableFile>* file) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (options.exclusive ? O_EXCL : O_TRUNC);
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return Status::FromErrno(errno, path);
  if (options.permissions >= 0) (void)::fchmod(fd, static_cast<mode_t>(options.permissions));
  *file = std::make_unique<PosixWritableFile>(path, fd, true);
  return Status::Ok();
}

std::unique_ptr<WritableFile> SystemEnv::StandardOutput() {
  return std::make_unique<PosixWritableFile>("standard output", STDOUT_FILENO, false);
}

Status SystemEnv::Rename(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return Status::FromErrno(errno, to);
  return Status::Ok();
}

Status SystemEnv::RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return Status::FromErrno(errno, path);
  return Status::Ok();
}

Status SystemEnv::Stat(const std::string& path, FileInfo* info) {
  *info = FileInfo();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    int error = errno;
    if (error == ENOENT) info->linkTarget = DanglingTarget(path);
    return Status::FromErrno(error, path);
  }
  info->kind = S_ISREG(st.st_mode)   ? FileKind::kRegular
               : S_ISDIR(st.st_mode) ? FileKind::kDirectory
                                     : FileKind::kOther;
  info->permissions = st.st_mode & 07777;
  info->size = static_cast<uint64_t>(st.st_size);
  info->writable =
      ::access(path.c_str(), info->kind == FileKind::kDirectory ? W_OK | X_OK : W_OK) == 0;
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) info->linkTarget = resolved;
  }
  return Status::Ok();
}

Status SystemEnv::GetChildren(const std::string& directory, std::vector<std::string>* names) {
  names->clear();
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return Status::FromErrno(errno, directory);
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names->emplace_back(name);
  }
  int error = errno;
  ::closedir(dir);
  return error != 0 ? Status::FromErrno(error, directory) : Status::Ok();
}

Status SystemEnv::SyncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Status::FromErrno(errno, directory);
  Status s;
  if (::fsync(fd) != 0 && errno != EINVAL) s = Status::FromErrno(errno, directory);
  ::close(fd);
  return s;
}

std::string SystemEnv::LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return AsctimeText(local.tm_wday, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec, static_cast<int64_t>(local.tm_year) + 1900);
}

int64_t SystemEnv::NowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

// POSIX sockets need no start-up.
Status SystemEnv::StartSockets() { return Status::Ok(); }
void SystemEnv::StopSockets() {}

Status SystemEnv::HostName(std::string* name) {
  char buffer[256];
  if (::gethostname(buffer, sizeof(buffer)) != 0) return Status::FromErrno(errno, "host name");
  buffer[sizeof(buffer) - 1] = '\0';
  *name = buffer;
  if (name->size() > kHostNameWidth) name->resize(kHostNameWidth);
  return Status::Ok();
}

void SystemEnv::LowerPriority() {
  // Threads started later inherit both settings. Results are not examined:
  // a run that cannot lower its priority still runs.
#ifdef SCHED_IDLE
  sched_param param{};
  param.sched_priority = 0;
  (void)sched_setscheduler(0, SCHED_IDLE, &param);
#endif
  errno = 0;
  int current = getpriority(PRIO_PROCESS, 0);
  if (errno == 0) (void)setpriority(PRIO_PROCESS, 0, current + 1);
}

ReverseResolver SystemEnv::Resolver() { return SystemReverseLookup; }

Status SystemEnv::StartThread(std::function<void()> body, std::thread* thread) {
  try {
    *thread = std::thread(std::move(body));
  } catch (const std::system_error& e) {
    return Status::FromErrno(e.code().value(), "thread", "cannot start a thread");
  }
  return Status::Ok();
}

Status ReadWholeFile(Env& env, const std::string& path, std::string* content) {
  std::unique_ptr<SequentialFile> file;
  Status s = env.OpenForReading(path, &file);
  if (!s.ok()) return s;
  content->clear();
  char chunk[1 << 16];
  for (;;) {
    size_t got = 0;
    s = file->Read(chunk, sizeof(chunk), &got);
    if (!s.ok()) return s;
    if (got == 0) return Status::Ok();
    content->append(chunk, got);
  }
}

std::string AsctimeText(int weekday, int month, int day, int hour, int minute, int second,
                        int64_t year) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.3s %.3s%3d %.2d:%.2d:%.2d %lld\n",
                kDays[((weekday % 7) + 7) % 7], kMonths[((month % 12) + 12) % 12], day, hour,
                minute, second, static_cast<long long>(year));
  return buffer;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

int32_t SystemOnlineCores() {
  long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  if (n < 1) return 1;
  return n > 1024 ? 1024 : static_cast<int32_t>(n);
}

}  // namespace logvane
