#include "report/report_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace logvane {

namespace {
constexpr size_t kFlushSize = 1 << 16;
}

std::unique_ptr<ReportWriter> ReportWriter::Create(const std::string& path) {
  if (path.empty()) return nullptr;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  return std::unique_ptr<ReportWriter>(new ReportWriter(fd));
}

ReportWriter::ReportWriter(int fd) : fd_(fd) { pending_.reserve(kFlushSize * 2); }

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
    std::string_view rest = pending_;
    while (!rest.empty()) {
      ssize_t n = ::write(fd_, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failed_ = true;
        error_ = n < 0 ? errno : ENOSPC;
        break;
      }
      rest.remove_prefix(static_cast<size_t>(n));
    }
  }
  pending_.clear();
}

bool ReportWriter::Close() {
  if (closed_) return !failed_;
  closed_ = true;
  FlushPending();
  if (fd_ >= 0) {
    if (::close(fd_) != 0 && !failed_) {
      failed_ = true;
      error_ = errno;
    }
    fd_ = -1;
  }
  return !failed_;
}

}  // namespace logvane
