#include "intake/log_reader.h"

#include <cstring>

namespace logvane {

LogLineReader::LogLineReader(LogSource& source, size_t blockSize)
    : source_(source),
      capacity_(blockSize < 2 * kLinePieceWidth ? 2 * kLinePieceWidth : blockSize) {
  buffer_ = std::make_unique<char[]>(capacity_);
}

bool LogLineReader::Refill() {
  if (atEnd_ || failed_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  while (end_ < capacity_) {
    ssize_t n = source_.Read(buffer_.get() + end_, capacity_ - end_);
    if (n < 0) {
      failed_ = true;
      return false;
    }
    if (n == 0) {
      atEnd_ = true;
      return false;
    }
    end_ += static_cast<size_t>(n);
    return true;
  }
  return true;
}

ReadStatus LogLineReader::ReadLogLine(std::string_view* piece) {
  for (;;) {
    size_t available = end_ - begin_;
    size_t window = available < kLinePieceWidth ? available : kLinePieceWidth;
    const char* start = buffer_.get() + begin_;
    const void* newline = window ? std::memchr(start, '\n', window) : nullptr;
    if (newline != nullptr || window == kLinePieceWidth ||
        (available > 0 && (atEnd_ || failed_))) {
      size_t length = newline != nullptr
                          ? static_cast<size_t>(static_cast<const char*>(newline) - start) + 1
                          : window;
      *piece = std::string_view(start, length);
      begin_ += length;
      return ReadStatus::kLine;
    }
    if (!Refill()) {
      if (end_ - begin_ > 0) continue;  // the last piece has no line end
      return failed_ ? ReadStatus::kReadError : ReadStatus::kEndOfFile;
    }
  }
}

}  // namespace logvane
