#include "intake/log_source.h"

#include <algorithm>
#include <cstring>

namespace logvane {

namespace {

class FileSource : public LogSource {
 public:
  explicit FileSource(std::unique_ptr<SequentialFile> file) : file_(std::move(file)) {}
  Status Read(char* buffer, size_t size, size_t* got) override {
    return file_->Read(buffer, size, got);
  }

 private:
  std::unique_ptr<SequentialFile> file_;
};

class TextSource : public LogSource {
 public:
  explicit TextSource(std::string text) : text_(std::move(text)) {}
  Status Read(char* buffer, size_t size, size_t* got) override {
    size_t n = std::min(size, text_.size() - position_);
    std::memcpy(buffer, text_.data() + position_, n);
    position_ += n;
    *got = n;
    return Status::Ok();
  }

 private:
  std::string text_;
  size_t position_ = 0;
};

class InputSource : public LogSource {
 public:
  explicit InputSource(ByteInput& input) : input_(input) {}
  Status Read(char* buffer, size_t size, size_t* got) override {
    return input_.Read(buffer, size, got);
  }

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
