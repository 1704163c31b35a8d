// A log source that hands its text on in reads of at most `chunk` bytes and
// may end in a read error, so block boundaries and errors can be placed at
// will.
#ifndef LOGVANE_TESTS_SUPPORT_CHUNKED_SOURCE_H_
#define LOGVANE_TESTS_SUPPORT_CHUNKED_SOURCE_H_

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "intake/log_source.h"

namespace logvane::testing {

class ChunkedSource : public LogSource {
 public:
  ChunkedSource(std::string text, size_t chunk, bool failAtEnd = false)
      : text_(std::move(text)), chunk_(chunk), failAtEnd_(failAtEnd) {}
  Status Read(char* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (position_ == text_.size()) {
      return failAtEnd_ ? Status::FromErrno(EIO, "chunked") : Status::Ok();
    }
    size_t n = std::min({size, chunk_, text_.size() - position_});
    std::memcpy(buffer, text_.data() + position_, n);
    position_ += n;
    *got = n;
    return Status::Ok();
  }

 private:
  std::string text_;
  size_t chunk_;
  bool failAtEnd_;
  size_t position_ = 0;
};

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_CHUNKED_SOURCE_H_
