// The one writer through which every console line of a run goes.
#ifndef LOGVANE_PLATFORM_CONSOLE_H_
#define LOGVANE_PLATFORM_CONSOLE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace logvane {

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
  void Flush();
  void SetLineFlush(bool on);
  bool lineFlush() const { return lineFlush_; }

 private:
  void Deliver(std::string_view text);

  int fd_ = -1;
  std::string* capture_ = nullptr;
  std::string pending_;
  bool lineFlush_ = true;
};

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_CONSOLE_H_
