#include "intake/log_reader.h"

#include <cstring>

namespace logvane {

namespace {
// The unfinished tail that starts a block is shorter than one piece, so a
// block of this size hands out more than kPiecesKept pieces before it is
// full and the other block, with the pieces handed out before, is reused.
constexpr size_t kLeastBlock = (kPiecesKept + 2) * kLinePieceWidth;
}  // namespace

LogLineReader::LogLineReader(LogSource& source, size_t blockSize)
    : source_(source), capacity_(blockSize < kLeastBlock ? kLeastBlock : blockSize) {
  blocks_[0] = std::unique_ptr<char[]>(new char[capacity_]);
  blocks_[1] = std::unique_ptr<char[]>(new char[capacity_]);
  buffer_ = blocks_[0].get();
}

bool LogLineReader::Refill() {
  if (atEnd_ || failed_) return false;
  if (end_ == capacity_) {
    // Only the unfinished tail moves; it is shorter than one piece.
    char* other = buffer_ == blocks_[0].get() ? blocks_[1].get() : blocks_[0].get();
    std::memcpy(other, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    buffer_ = other;
  }
  size_t n = 0;
  Status s = source_.Read(buffer_ + end_, capacity_ - end_, &n);
  if (!s.ok()) {
    failed_ = true;
    error_ = s.sysError();
    return false;
  }
  if (n == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += n;
  return true;
}

ReadStatus LogLineReader::ReadLogLine(std::string_view* piece) {
  for (;;) {
    size_t available = end_ - begin_;
    size_t window = available < kLinePieceWidth ? available : kLinePieceWidth;
    const char* start = buffer_ + begin_;
    const void* newline = window ? std::memchr(start, '\n', window) : nullptr;
    if (newline != nullptr || window == kLinePieceWidth || (available > 0 && (atEnd_ || failed_))) {
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
