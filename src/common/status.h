// The one error value: what went wrong, where, and the system's errno when
// the system said so. Every operation that can fail returns one; Ok() is
// cheap (no text is kept).
#ifndef LOGVANE_COMMON_STATUS_H_
#define LOGVANE_COMMON_STATUS_H_

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace logvane {

enum class StatusCode : unsigned char {
  kOk,
  kNotFound,     // the file (or the thing named) does not exist
  kIoError,      // the system refused a read, a write, a sync, a rename...
  kCorrupt,      // the file's bytes are not what they claim to be
  kInvalid,      // a value or a file that is well-formed but cannot be used
  kUnsupported,  // this build or this version cannot do it
};

class [[nodiscard]] Status {
 public:
  Status() = default;  // ok
  static Status Ok() { return Status(); }

  // A failure the system reported: `error` is errno (kNotFound for ENOENT).
  static Status FromErrno(int error, std::string path, std::string message = {}) {
    Status s(error == 2 /* ENOENT */ ? StatusCode::kNotFound : StatusCode::kIoError,
             std::move(path), {}, std::move(message));
    s.sysError_ = error;
    return s;
  }
  // A file whose content is wrong at `where` ("line 3", "byte 1024").
  static Status Corrupt(std::string path, std::string where, std::string message) {
    return Status(StatusCode::kCorrupt, std::move(path), std::move(where), std::move(message));
  }
  static Status Invalid(std::string path, std::string where, std::string message) {
    return Status(StatusCode::kInvalid, std::move(path), std::move(where), std::move(message));
  }
  static Status Unsupported(std::string message) {
    return Status(StatusCode::kUnsupported, {}, {}, std::move(message));
  }

  // The same failure with a longer account for standard error than the
  // one-line message (the console's).
  Status WithDetail(std::string detail) const {
    Status s = *this;
    s.detail_ = std::move(detail);
    return s;
  }

  // The same failure at a place in its file ("byte 1024", "line 3").
  Status At(std::string where) const {
    Status s = *this;
    s.where_ = std::move(where);
    return s;
  }

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  int sysError() const { return sysError_; }  // 0 when the system gave none
  const std::string& path() const { return path_; }
  const std::string& where() const { return where_; }
  const std::string& message() const { return message_; }
  const std::string& detail() const { return detail_; }  // empty when none was given

  // Why, without the path: the message, then the system's reason.
  std::string Reason() const {
    std::string text = message_;
    if (sysError_ != 0) {
      if (!text.empty()) text += ": ";
      char buffer[256];
      // The GNU strerror_r gives a pointer that need not be `buffer`.
      const char* reason = strerror_r(sysError_, buffer, sizeof(buffer));
      text += reason != nullptr ? reason : "error " + std::to_string(sysError_);
    }
    return text;
  }

  // "PATH:WHERE: REASON" with the parts that are known.
  std::string ToString() const {
    if (ok()) return "ok";
    std::string text = path_;
    if (!where_.empty()) text += (text.empty() ? "" : ":") + where_;
    if (!text.empty()) text += ": ";
    return text + Reason();
  }

 private:
  Status(StatusCode code, std::string path, std::string where, std::string message)
      : code_(code),
        path_(std::move(path)),
        where_(std::move(where)),
        message_(std::move(message)) {}

  StatusCode code_ = StatusCode::kOk;
  int sysError_ = 0;
  std::string path_;
  std::string where_;
  std::string message_;
  std::string detail_;
};

}  // namespace logvane

#endif  // LOGVANE_COMMON_STATUS_H_
