#include "platform/progress_line.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace logvane {

namespace {

constexpr int64_t kRedrawNanos = 100'000'000;  // ten drawings a second at most

// "1.2 GB", "340 MB", "12 kB", "512 B": three figures at most.
std::string Bytes(uint64_t n) {
  static const char* const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(n);
  size_t unit = 0;
  while (value >= 1000 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof(text), unit == 0 || value >= 100 ? "%.0f %s" : "%.1f %s", value,
                kUnits[unit]);
  return text;
}

// "5.1 M", "870 k", "12".
std::string Count(double n) {
  char text[32];
  if (n >= 1e6) {
    std::snprintf(text, sizeof(text), "%.1f M", n / 1e6);
  } else if (n >= 1e4) {
    std::snprintf(text, sizeof(text), "%.0f k", n / 1e3);
  } else {
    std::snprintf(text, sizeof(text), "%.0f", n);
  }
  return text;
}

// "0:07", "12:34", "2:03:04".
std::string Duration(int64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof(text), "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

// The terminal's width, or 80 when it does not say.
size_t TerminalWidth(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

std::string ProgressText(const ProgressState& s, size_t width) {
  const double seconds = static_cast<double>(s.elapsedNanos) / 1e9;
  std::string text = "logvane: ";
  const bool sized = s.totalBytes > 0;
  if (sized) {
    uint64_t bytes = s.bytes < s.totalBytes ? s.bytes : s.totalBytes;
    text += std::to_string(bytes * 100 / s.totalBytes) + "% of " + Bytes(s.totalBytes);
  } else {
    text += Bytes(s.bytes);
  }
  text += ", " + Count(static_cast<double>(s.lines)) + " lines";
  if (seconds > 0) text += ", " + Count(static_cast<double>(s.lines) / seconds) + " lines/s";
  text += ", " + Duration(static_cast<int64_t>(seconds)) + " elapsed";
  if (sized && s.bytes > 0 && s.bytes < s.totalBytes) {
    double left =
        seconds * static_cast<double>(s.totalBytes - s.bytes) / static_cast<double>(s.bytes);
    text += ", " + Duration(static_cast<int64_t>(left + 0.5)) + " left";
  }
  // A line longer than the terminal would wrap, and then could not be
  // drawn over in place.
  if (width > 0 && text.size() >= width) text.resize(width - 1);
  return text;
}

ProgressLine::ProgressLine(int fd, std::function<int64_t()> clock)
    : fd_(fd), clock_(std::move(clock)) {}

int64_t ProgressLine::Now() const {
  if (clock_) return clock_();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void ProgressLine::Start(const std::atomic<uint64_t>* bytes, uint64_t totalBytes) {
  bytes_ = bytes;
  totalBytes_ = totalBytes;
  start_ = Now();
  // The first drawing waits as long as any other: a short log shows none.
  lastDraw_ = start_;
  running_ = true;
}

void ProgressLine::Update(uint64_t lines) {
  lines_ = lines;
  if (!running_) return;
  int64_t now = Now();
  if (now - lastDraw_ < kRedrawNanos) return;
  lastDraw_ = now;
  ProgressState state;
  state.lines = lines_;
  state.bytes = bytes_ != nullptr ? bytes_->load(std::memory_order_relaxed) : 0;
  state.totalBytes = totalBytes_;
  state.elapsedNanos = now - start_;
  text_ = ProgressText(state, TerminalWidth(fd_));
  Draw();
}

void ProgressLine::Draw() {
  // Back to the line's start, the text, and the rest of the line erased.
  std::string out = "\r" + text_ + "\x1b[K";
  (void)WriteAllTo(fd_, out);
  shown_ = true;
  ++draws_;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  (void)WriteAllTo(fd_, "\r\x1b[K");
  shown_ = false;
}

void ProgressLine::Restore() {
  if (running_ && !shown_ && !text_.empty()) Draw();
}

void ProgressLine::Finish() {
  Clear();
  running_ = false;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool StandardOutputSharesStandardError() {
  struct stat out {
  }, err{};
  if (::isatty(STDOUT_FILENO) != 1 || ::fstat(STDOUT_FILENO, &out) != 0 ||
      ::fstat(STDERR_FILENO, &err) != 0) {
    return false;
  }
  return out.st_rdev == err.st_rdev;
}

}  // namespace logvane
