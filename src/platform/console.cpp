#include "platform/console.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace logvane {

namespace {
constexpr size_t kPendingLimit = 1 << 16;
}

bool WriteAllTo(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

Console::Console(int fd) : fd_(fd) { pending_.reserve(kPendingLimit); }

Console::Console(std::string* capture) : capture_(capture) {}

Console::~Console() {
  Flush();
  if (quiet_ && !quietLine_.empty()) {
    quiet_ = false;
    Deliver(Kept("", true));
  }
}

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

// Under quiet, whole lines are judged by their start; a last line without
// its end (the early ends' errors) is judged at the destructor's flush.
std::string Console::Kept(std::string_view text, bool final) {
  std::string kept;
  quietLine_.append(text);
  size_t from = 0;
  for (;;) {
    size_t end = quietLine_.find('\n', from);
    if (end == std::string::npos && !final) break;
    std::string_view line =
        std::string_view(quietLine_)
            .substr(from, end == std::string::npos ? std::string::npos : end + 1 - from);
    if (line.starts_with("*ERROR* ") || line.starts_with("*WARNING* ")) kept.append(line);
    if (end == std::string::npos) {
      from = quietLine_.size();
      break;
    }
    from = end + 1;
  }
  quietLine_.erase(0, from);
  return kept;
}

void Console::Deliver(std::string_view text) {
  std::string kept;
  if (quiet_) {
    kept = Kept(text, false);
    text = kept;
    if (text.empty()) return;
  }
  if (capture_ != nullptr) {
    capture_->append(text);
    return;
  }
  // A console that cannot be written (closed pipe, full disk) must not stop
  // the run: the report and the cache still matter.
  if (share_ != nullptr) share_->Clear();
  (void)WriteAllTo(fd_, text);
  if (share_ != nullptr) share_->Restore();
}

}  // namespace logvane
