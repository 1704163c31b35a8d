#include "intake/log_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file_io.h"

namespace logvane {

namespace {

class FileSource : public LogSource {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  ~FileSource() override { CloseFile(fd_); }
  ssize_t Read(char* buffer, size_t size) override { return ReadSome(fd_, buffer, size); }

 private:
  int fd_;
};

class TextSource : public LogSource {
 public:
  explicit TextSource(std::string text) : text_(std::move(text)) {}
  ssize_t Read(char* buffer, size_t size) override {
    size_t n = std::min(size, text_.size() - position_);
    std::memcpy(buffer, text_.data() + position_, n);
    position_ += n;
    return static_cast<ssize_t>(n);
  }

 private:
  std::string text_;
  size_t position_ = 0;
};

class InputSource : public LogSource {
 public:
  explicit InputSource(ByteInput& input) : input_(input) {}
  ssize_t Read(char* buffer, size_t size) override { return input_.Read(buffer, size); }

 private:
  ByteInput& input_;
};

}  // namespace

std::unique_ptr<LogSource> LogFromInput(ByteInput& input) {
  return std::make_unique<InputSource>(input);
}

std::unique_ptr<LogSource> OpenLogFile(const std::string& path) {
  if (path.empty()) return nullptr;
  int fd = OpenFileForReading(path);
  if (fd < 0) return nullptr;
  return std::make_unique<FileSource>(fd);
}

std::unique_ptr<LogSource> LogFromText(std::string text) {
  return std::make_unique<TextSource>(std::move(text));
}

}  // namespace logvane
