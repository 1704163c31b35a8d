#include "platform/byte_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// Up to `size` bytes, their count in `*got`; a read that a signal
// interrupted is made again.
Status ReadSome(int fd, char* buffer, size_t size, size_t* got) {
  *got = 0;
  for (;;) {
    ssize_t n = ::read(fd, buffer, size);
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return Status::Ok();
    }
    if (errno != EINTR) return Status::FromErrno(errno, "standard input");
  }
}

}  // namespace

ByteInput::ByteInput(int fd) : fd_(fd) {}

ByteInput::ByteInput(std::string content) : buffer_(std::move(content)) {}

bool ByteInput::Fill() {
  if (fd_ < 0 || !failure_.ok()) return false;
  // Read a little at a time: at a prompt the rest of standard input may be
  // the log, and nothing beyond the current line should be needed.
  char chunk[512];
  size_t n = 0;
  failure_ = ReadSome(fd_, chunk, sizeof(chunk), &n);
  if (n == 0) return false;
  buffer_.erase(0, position_);
  position_ = 0;
  buffer_.append(chunk, n);
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

Status ByteInput::Read(char* out, size_t size, size_t* got) {
  *got = 0;
  if (position_ < buffer_.size()) {
    *got = std::min(size, buffer_.size() - position_);
    std::memcpy(out, buffer_.data() + position_, *got);
    position_ += *got;
    return Status::Ok();
  }
  if (fd_ < 0) return Status::Ok();
  // A prompt that met a read error leaves it for the log to meet.
  if (!failure_.ok()) return failure_;
  return ReadSome(fd_, out, size, got);
}

}  // namespace logvane
