#include "intake/gzip_source.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace logvane {

namespace {

constexpr unsigned char kMagic0 = 0x1f;
constexpr unsigned char kMagic1 = 0x8b;
constexpr size_t kInputBlock = 1 << 18;

// Reads from `raw` until `size` bytes or the end; -1 on a read error.
ssize_t ReadFully(LogSource& raw, char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = raw.Read(buffer + done, size - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// The bytes already looked at, then the rest of the source.
class PrefixedSource : public LogSource {
 public:
  PrefixedSource(std::unique_ptr<LogSource> raw, const char* prefix, size_t length)
      : raw_(std::move(raw)), length_(length) {
    std::memcpy(prefix_, prefix, length);
  }
  ssize_t Read(char* buffer, size_t size) override {
    if (position_ < length_) {
      size_t n = std::min(size, length_ - position_);
      std::memcpy(buffer, prefix_ + position_, n);
      position_ += n;
      return static_cast<ssize_t>(n);
    }
    return raw_->Read(buffer, size);
  }

 private:
  std::unique_ptr<LogSource> raw_;
  char prefix_[2];
  size_t length_;
  size_t position_ = 0;
};

class GzipSource : public LogSource {
 public:
  GzipSource(std::unique_ptr<LogSource> raw, const char* prefix, size_t length)
      : raw_(std::move(raw)), input_(new unsigned char[kInputBlock]) {
    std::memcpy(input_.get(), prefix, length);
    stream_.next_in = input_.get();
    stream_.avail_in = static_cast<uInt>(length);
    initialized_ = inflateInit2(&stream_, 15 + 16) == Z_OK;  // gzip wrapper only
    ok_ = initialized_;
  }
  ~GzipSource() override {
    if (initialized_) inflateEnd(&stream_);
  }

  ssize_t Read(char* buffer, size_t size) override {
    if (!ok_) return Failed();
    if (finished_ || size == 0) return 0;
    Bytef* out = reinterpret_cast<Bytef*>(buffer);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    // Inflate until some bytes come out or the data ends.
    while (stream_.next_out == out) {
      // Compressed data that ends inside a member is cut: damage.
      if (stream_.avail_in == 0 && !Refill()) return Fail();
      int rc = inflate(&stream_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        if (!NextMember()) break;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        return Fail();
      }
    }
    size_t produced = static_cast<size_t>(stream_.next_out - out);
    if (produced == 0) return ok_ ? 0 : Failed();
    return static_cast<ssize_t>(produced);  // damage behind it shows on the next call
  }

 private:
  bool Refill() {
    if (rawEnded_) return false;
    ssize_t n = raw_->Read(reinterpret_cast<char*>(input_.get()), kInputBlock);
    if (n < 0) {
      failed_ = true;
      rawError_ = errno;
      return false;
    }
    if (n == 0) {
      rawEnded_ = true;
      return false;
    }
    stream_.next_in = input_.get();
    stream_.avail_in = static_cast<uInt>(n);
    return true;
  }

  // After one member: the end of the data, or the start of another member.
  // Anything else behind a member is damage.
  bool NextMember() {
    if (stream_.avail_in == 0 && !Refill()) {
      if (failed_) {
        ok_ = false;
        return false;
      }
      finished_ = true;
      return false;
    }
    if (stream_.next_in[0] != kMagic0) {
      ok_ = false;
      return false;
    }
    inflateReset(&stream_);
    return true;
  }

  ssize_t Fail() {
    failed_ = true;
    ok_ = false;
    return Failed();
  }

  // -1 with errno saying why: the file's own error, or 0 for damaged data,
  // which has no errno of its own.
  ssize_t Failed() const {
    errno = rawError_;
    return -1;
  }

  std::unique_ptr<LogSource> raw_;
  std::unique_ptr<unsigned char[]> input_;
  z_stream stream_{};
  bool initialized_ = false;
  bool ok_ = false;
  bool failed_ = false;
  int rawError_ = 0;
  bool rawEnded_ = false;
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<LogSource> DecompressIfGzip(std::unique_ptr<LogSource> raw) {
  char head[2];
  ssize_t n = ReadFully(*raw, head, sizeof(head));
  if (n < 0) {
    // Let the reading phase meet the error where it reads.
    struct Failing : LogSource {
      ssize_t Read(char*, size_t) override { return -1; }
    };
    return std::make_unique<Failing>();
  }
  size_t length = static_cast<size_t>(n);
  if (length == 2 && static_cast<unsigned char>(head[0]) == kMagic0 &&
      static_cast<unsigned char>(head[1]) == kMagic1) {
    return std::make_unique<GzipSource>(std::move(raw), head, length);
  }
  return std::make_unique<PrefixedSource>(std::move(raw), head, length);
}

}  // namespace logvane
