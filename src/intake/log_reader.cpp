#include "intake/log_reader.h"

#include <cstring>

namespace logvane {

LogLineReader::LogLineReader(LogSource& source, size_t width, size_t blockSize)
    : source_(source),
      width_(width),
      // Room for an unfinished line and a whole piece after it.
      capacity_(blockSize < 2 * width ? 2 * width : blockSize) {
  buffer_ = std::unique_ptr<char[]>(new char[capacity_]);
}

ReadStatus LogLineReader::status() const {
  if (begin_ < end_ || skipping_ || !(atEnd_ || failed_)) return ReadStatus::kLine;
  return failed_ ? ReadStatus::kReadError : ReadStatus::kEndOfFile;
}

bool LogLineReader::Refill(bool mayMove) {
  if (atEnd_ || failed_) return false;
  if (end_ == capacity_) {
    if (!mayMove) return false;
    // Only the unfinished tail moves; it is shorter than one piece.
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  size_t n = 0;
  Status s = source_.Read(buffer_.get() + end_, capacity_ - end_, &n);
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

bool LogLineReader::Skip(bool mayMove) {
  for (;;) {
    const char* start = buffer_.get() + begin_;
    size_t available = end_ - begin_;
    const void* newline = available ? std::memchr(start, '\n', available) : nullptr;
    size_t taken =
        newline ? static_cast<size_t>(static_cast<const char*>(newline) - start) : available;
    for (size_t i = 0; i < taken && skippedOnlyCr_; ++i) skippedOnlyCr_ = start[i] == '\r';
    skipped_ += taken;
    if (newline != nullptr) {
      begin_ += taken + 1;
      break;
    }
    // Everything held after the pieces is skipped: the space is read into
    // again, so a long line never fills the block.
    end_ = begin_;
    if (!Refill(mayMove)) {
      if (!atEnd_ && !failed_) return false;  // the block must move first
      break;
    }
  }
  skipping_ = false;
  // A line end (a newline, or CR LF) right after the width cuts nothing.
  if (skipped_ > 1 || (skipped_ == 1 && !skippedOnlyCr_)) {
    if (longLines_++ == 0) firstLongLine_ = lines_;
  }
  return true;
}

size_t LogLineReader::ReadLines(LinePiece* pieces, size_t max, size_t maxBytes) {
  size_t count = 0;
  size_t bytes = 0;
  while (count < max) {
    // The bytes held may move only while this call has handed out none.
    if (skipping_ && !Skip(count == 0)) break;
    size_t available = end_ - begin_;
    size_t window = available < width_ ? available : width_;
    const char* start = buffer_.get() + begin_;
    const void* newline = window ? std::memchr(start, '\n', window) : nullptr;
    if (newline != nullptr || window == width_ || (available > 0 && (atEnd_ || failed_))) {
      size_t length = newline != nullptr
                          ? static_cast<size_t>(static_cast<const char*>(newline) - start) + 1
                          : window;
      if (count > 0 && bytes + length > maxBytes) break;
      bytes += length;
      bool full = newline == nullptr && length == width_;
      pieces[count++] = LinePiece{std::string_view(start, length), full};
      begin_ += length;
      ++lines_;
      if (full) {
        skipping_ = true;
        skipped_ = 0;
        skippedOnlyCr_ = true;
      }
      continue;
    }
    if (!Refill(count == 0)) {
      if (end_ > begin_ && (atEnd_ || failed_)) continue;  // the last line has no line end
      break;
    }
  }
  // The end of the log, once reached, settles what was being skipped.
  if (count == 0 && skipping_) Skip(true);
  return count;
}

ReadStatus LogLineReader::ReadLogLine(std::string_view* piece, bool* full) {
  LinePiece line;
  if (ReadLines(&line, 1) == 0) return status();
  *piece = line.text;
  if (full != nullptr) *full = line.full;
  return ReadStatus::kLine;
}

}  // namespace logvane
