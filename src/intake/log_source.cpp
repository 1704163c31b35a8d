#include "intake/log_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace logvane {

namespace {

class FileSource : public LogSource {
 public:
  explicit FileSource(std::unique_ptr<SequentialFile> file) : file_(std::move(file)) {}
  ssize_t Read(char* buffer, size_t size) override {
    size_t got = 0;
    Status s = file_->Read(buffer, size, &got);
    if (s.ok()) return static_cast<ssize_t>(got);
    errno = s.sysError() != 0 ? s.sysError() : EIO;
    return -1;
  }

 private:
  std::unique_ptr<SequentialFile> file_;
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

Status OpenLogFile(Env& env, const std::string& path, std::unique_ptr<LogSource>* log) {
  if (path.empty()) return Status::Invalid(path, {}, "no file name was given");
  std::unique_ptr<SequentialFile> file;
  Status s = env.OpenForReading(path, &file);
  if (s.ok()) *log = std::make_unique<FileSource>(std::move(file));
  return s;
}

std::unique_ptr<LogSource> LogFromText(std::string text) {
  return std::make_unique<TextSource>(std::move(text));
}

}  // namespace logvane
