#include "report/report_writer.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace logvane {

namespace {
constexpr size_t kFlushSize = 1 << 16;
}

std::unique_ptr<ReportWriter> ReportWriter::Create(const std::string& path,
                                                   const FileCalls& calls) {
  if (path.empty()) return nullptr;
  int fd = CreateFileForWriting(path);
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
