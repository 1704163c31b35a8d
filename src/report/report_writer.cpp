#include "report/report_writer.h"

#include "platform/diagnostics.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <cerrno>
#include <charconv>

namespace logvane {

namespace {
constexpr size_t kFlushSize = 1 << 16;
}

namespace {

// The one open of the report, which ProbeReportTarget makes too.
int OpenReport(const std::string& path) { return CreateFileForWriting(path); }

}  // namespace

Status ProbeReportTarget(const std::string& path) {
  if (path.empty()) return Status::Invalid("", "", "no file name was given");
  struct stat before {};
  const bool existed = ::stat(path.c_str(), &before) == 0;
  if (existed && S_ISDIR(before.st_mode)) return Status::FromErrno(EISDIR, path);
  if (existed && !S_ISREG(before.st_mode)) {
    if (::access(path.c_str(), W_OK) != 0) return Status::FromErrno(errno, path);
    return Status::Ok();
  }
  int fd = OpenReport(path);
  if (fd < 0) {
    int error = errno;
    // A directory that is not there is the likely slip: name it.
    size_t slash = path.rfind('/');
    std::string directory(1, slash == 0 ? '/' : '.');
    if (slash != std::string::npos && slash != 0) directory = path.substr(0, slash);
    struct stat info {};
    if (error == ENOENT && ::stat(directory.c_str(), &info) != 0) {
      return Status::FromErrno(errno, path, "directory " + Quoted(directory));
    }
    return Status::FromErrno(error, path);
  }
  CloseFile(fd);
  if (!existed) {
    // Made by this open, where a link there points: removed again.
    char* made = ::realpath(path.c_str(), nullptr);
    ::unlink(made != nullptr ? made : path.c_str());
    std::free(made);
  }
  return Status::Ok();
}

std::unique_ptr<ReportWriter> ReportWriter::Create(const std::string& path,
                                                   const FileCalls& calls) {
  if (path.empty()) return nullptr;
  int fd = OpenReport(path);
  if (fd < 0) return nullptr;
  return std::unique_ptr<ReportWriter>(new ReportWriter(fd, true, calls));
}

std::unique_ptr<ReportWriter> ReportWriter::ForStandardOutput(const FileCalls& calls) {
  return std::unique_ptr<ReportWriter>(new ReportWriter(STDOUT_FILENO, false, calls));
}

ReportWriter::ReportWriter(int fd, bool owned, const FileCalls& calls)
    : fd_(fd), owned_(owned), calls_(&calls) {
  pending_.reserve(kFlushSize * 2);
}

ReportWriter::ReportWriter(std::string* capture) : capture_(capture) {}

ReportWriter::~ReportWriter() { Close(); }

void ReportWriter::Write(std::string_view text) {
  pending_.append(text);
  if (pending_.size() >= kFlushSize) FlushPending();
}

void ReportWriter::WriteInt(int64_t value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof(digits), value);
  Write(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

void ReportWriter::FlushPending() {
  if (capture_ != nullptr) {
    capture_->append(pending_);
  } else if (!failed_ && fd_ >= 0) {
    errno = 0;
    if (WriteAll(fd_, pending_, *calls_)) {
      written_ += pending_.size();
    } else {
      failed_ = true;
      // A write that took nothing sets no errno: the device is full.
      error_ = errno != 0 ? errno : ENOSPC;
    }
  }
  pending_.clear();
}

bool ReportWriter::Close() {
  if (closed_) return !failed_;
  closed_ = true;
  FlushPending();
  if (fd_ >= 0 && owned_) {
    // An older, longer report leaves nothing behind the new one.
    if (!CutFileTo(fd_, written_) && !failed_) {
      failed_ = true;
      error_ = errno;
    }
    if (!CloseFile(fd_) && !failed_) {
      failed_ = true;
      error_ = errno;
    }
    fd_ = -1;
  }
  return !failed_;
}

}  // namespace logvane
