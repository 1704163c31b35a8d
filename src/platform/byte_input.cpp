#include "platform/byte_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// Up to `size` bytes: their count, 0 at the end, -1 on an error; a read
// that a signal interrupted is made again.
ssize_t ReadSome(int fd, char* buffer, size_t size) {
  for (;;) {
    ssize_t n = ::read(fd, buffer, size);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : n;
  }
}

}  // namespace

ByteInput::ByteInput(int fd) : fd_(fd) {}

ByteInput::ByteInput(std::string content) : buffer_(std::move(content)) {}

bool ByteInput::Fill() {
  if (fd_ < 0 || failed_) return false;
  // Read a little at a time: at a prompt the rest of standard input may be
  // the log, and nothing beyond the current line should be needed.
  char chunk[512];
  ssize_t n = ReadSome(fd_, chunk, sizeof(chunk));
  if (n < 0) failed_ = true;
  if (n <= 0) return false;
  buffer_.erase(0, position_);
  position_ = 0;
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

bool ByteInput::ReadWord(std::string* word) {
  word->clear();
  for (;;) {
    while (position_ < buffer_.size() && IsSpace(buffer_[position_])) ++position_;
    if (position_ < buffer_.size()) break;
    if (!Fill()) return false;
  }
  for (;;) {
    while (position_ < buffer_.size() && !IsSpace(buffer_[position_])) {
      word->push_back(buffer_[position_++]);
    }
    if (position_ < buffer_.size() || !Fill()) return true;
  }
}

void ByteInput::SkipLineEnd() {
  if (position_ >= buffer_.size() && !Fill()) return;
  if (buffer_[position_] == '\r') {
    if (position_ + 1 >= buffer_.size() && !Fill()) return;
    if (buffer_[position_ + 1] != '\n') return;
    ++position_;
  }
  if (buffer_[position_] == '\n') ++position_;
}

ssize_t ByteInput::Read(char* out, size_t size) {
  if (position_ < buffer_.size()) {
    size_t n = std::min(size, buffer_.size() - position_);
    std::memcpy(out, buffer_.data() + position_, n);
    position_ += n;
    return static_cast<ssize_t>(n);
  }
  if (fd_ < 0) return 0;
  return ReadSome(fd_, out, size);
}

}  // namespace logvane
