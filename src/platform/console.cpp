#include "platform/console.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace logvane {

namespace {
constexpr size_t kPendingLimit = 1 << 16;

// All of `text`, a write that a signal interrupted made again; false when
// the descriptor takes no more.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

Console::Console(int fd) : fd_(fd) { pending_.reserve(kPendingLimit); }

Console::Console(std::string* capture) : capture_(capture) {}

Console::~Console() { Flush(); }

void Console::Write(std::string_view text) {
  if (text.empty()) return;
  pending_.append(text);
  if (held_) return;
  if (lineFlush_) {
    if (text.find('\n') != std::string_view::npos) Flush();
  } else if (pending_.size() >= kPendingLimit) {
    Flush();
  }
}

void Console::WriteChar(char c) { Write(std::string_view(&c, 1)); }

void Console::WriteNumber(int64_t value) { Write(std::to_string(value)); }

void Console::Line(std::string_view text) {
  pending_.append(text);
  Write("\n");
}

void Console::Flush() {
  if (pending_.empty()) return;
  Deliver(pending_);
  pending_.clear();
}

void Console::Redirect(int fd) {
  if (capture_ == nullptr) fd_ = fd;
}

void Console::Release() {
  held_ = false;
  Flush();
}

void Console::SetLineFlush(bool on) {
  lineFlush_ = on;
  if (on) Flush();
}

void Console::Deliver(std::string_view text) {
  if (capture_ != nullptr) {
    capture_->append(text);
    return;
  }
  // A console that cannot be written (closed pipe, full disk) must not stop
  // the run: the report and the cache still matter.
  (void)WriteAll(fd_, text);
}

}  // namespace logvane
