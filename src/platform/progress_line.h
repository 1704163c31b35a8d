// The progress line: one line on a terminal (standard error) that says how
// far the reading phase has got, redrawn in place at most ten times a
// second, erased at the end, and put aside whenever another line is
// written to the same terminal.
//
//   logvane: 42% of 1.2 GB, 5.1 M lines, 3.2 M lines/s, 0:02 elapsed, 0:03 left
//
// The reading phase holds a ProgressTick: counting a line costs it one
// decrement and test; only every few thousand lines (or once per block)
// does it read the clock, and only ten times a second does it draw.
#ifndef LOGVANE_PLATFORM_PROGRESS_LINE_H_
#define LOGVANE_PLATFORM_PROGRESS_LINE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/console.h"

namespace logvane {

// Where the reading stands: lines counted, bytes of the inputs read (their
// compressed bytes for gzip), and the inputs' whole size (0: unknown, as
// for a pipe).
struct ProgressState {
  uint64_t lines = 0;
  uint64_t bytes = 0;
  uint64_t totalBytes = 0;
  int64_t elapsedNanos = 0;
};

// The line's text, without the line end; at most `width` characters.
std::string ProgressText(const ProgressState& state, size_t width);

class ProgressLine : public TerminalShare {
 public:
  // Draws on `fd`; `clock` gives a monotonic time in nanoseconds (the
  // system's steady clock when empty).
  explicit ProgressLine(int fd, std::function<int64_t()> clock = {});
  ~ProgressLine() override { Finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Starts the clock. `bytes` is the inputs' counter of bytes read, which
  // the thread that reads them raises.
  void Start(const std::atomic<uint64_t>* bytes, uint64_t totalBytes);
  // The lines counted so far: redrawn when 100 ms have passed since the
  // last drawing.
  void Update(uint64_t lines);
  // Erased for good.
  void Finish();

  // TerminalShare: another line is about to be written to the terminal,
  // and has been.
  void Clear() override;
  void Restore() override;

  // The number of times the line was drawn (tests).
  uint64_t draws() const { return draws_; }

 private:
  int64_t Now() const;
  void Draw();

  int fd_;
  std::function<int64_t()> clock_;
  const std::atomic<uint64_t>* bytes_ = nullptr;
  uint64_t totalBytes_ = 0;
  uint64_t lines_ = 0;
  int64_t start_ = 0;
  int64_t lastDraw_ = 0;
  bool running_ = false;
  bool shown_ = false;  // the line stands on the terminal now
  std::string text_;
  uint64_t draws_ = 0;
};

// The reading phase's handle on a progress line, which may be none.
class ProgressTick {
 public:
  // Lines between two looks at the clock in Line().
  static constexpr uint32_t kLinesPerLook = 4096;

  ProgressTick() = default;
  explicit ProgressTick(ProgressLine* line) : line_(line) {}

  // One more line.
  void Line() {
    if (--left_ == 0) Lines(kLinesPerLook);
  }
  // `count` more lines at once (a block).
  void Lines(uint64_t count) {
    left_ = kLinesPerLook;
    lines_ += count;
    if (line_ != nullptr) line_->Update(lines_);
  }

 private:
  ProgressLine* line_ = nullptr;
  uint32_t left_ = kLinesPerLook;
  uint64_t lines_ = 0;
};

// Whether standard error is a terminal, and whether standard output is
// that same terminal (so that console lines and the progress line share it).
bool StandardErrorIsTerminal();
bool StandardOutputSharesStandardError();

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_PROGRESS_LINE_H_
