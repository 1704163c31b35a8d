// The one writer through which every console line of a run goes.
#ifndef LOGVANE_PLATFORM_CONSOLE_H_
#define LOGVANE_PLATFORM_CONSOLE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace logvane {

// All of `text` to the descriptor `fd`, a write that a signal interrupted
// made again; false when the descriptor takes no more. The console and the
// progress line write through it; files go through the Env.
bool WriteAllTo(int fd, std::string_view text);

// A line that stands on the terminal a console writes to (the progress
// line): put aside before the console writes there, and back after.
class TerminalShare {
 public:
  virtual ~TerminalShare() = default;
  virtual void Clear() = 0;
  virtual void Restore() = 0;
};

// Writes to a file descriptor, or into a string that tests read back.
// By default the text is handed on at every line end, so a watcher of the
// console sees each line as soon as it is complete. The reading phase may
// switch line flushing off (its diagnostics can come once per log line);
// order is kept either way, and Flush() hands on whatever is pending.
class Console {
 public:
  explicit Console(int fd);
  explicit Console(std::string* capture);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void Write(std::string_view text);
  void WriteChar(char c);
  void WriteNumber(int64_t value);
  void Line(std::string_view text);  // text, then a line end
  void Flush();                      // hands on what is pending, held or not
  void SetLineFlush(bool on);
  // Keeps everything written (but for an explicit Flush()) until Release(),
  // so the first lines can still be sent elsewhere; Redirect() chooses the
  // descriptor (a capturing console keeps capturing).
  void Hold() { held_ = true; }
  void Redirect(int fd);
  void Release();
  bool lineFlush() const { return lineFlush_; }
  // Every delivery is framed by `share`'s Clear and Restore; none to stop.
  void ShareTerminal(TerminalShare* share) { share_ = share; }
  // Only lines that begin with "*ERROR* " or "*WARNING* " are delivered
  // (--quiet); the others are dropped.
  void SetQuiet(bool on) { quiet_ = on; }

 private:
  void Deliver(std::string_view text);
  std::string Kept(std::string_view text, bool final);

  int fd_ = -1;
  std::string* capture_ = nullptr;
  std::string pending_;
  bool lineFlush_ = true;
  bool held_ = false;
  bool quiet_ = false;
  std::string quietLine_;  // the start of a line not yet judged under quiet
  TerminalShare* share_ = nullptr;
};

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_CONSOLE_H_
