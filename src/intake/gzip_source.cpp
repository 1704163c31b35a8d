#include "intake/gzip_source.h"

#include <zlib.h>

#if LOGVANE_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#ifndef LOGVANE_HAVE_ISAL
#define LOGVANE_HAVE_ISAL 0
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace logvane {

namespace {

constexpr unsigned char kMagic0 = 0x1f;
constexpr unsigned char kMagic1 = 0x8b;
constexpr size_t kInputBlock = 1 << 18;

// Reads from `raw` until `size` bytes or the end, their count in `*got`.
Status ReadFully(LogSource& raw, char* buffer, size_t size, size_t* got) {
  *got = 0;
  while (*got < size) {
    size_t n = 0;
    Status s = raw.Read(buffer + *got, size - *got, &n);
    if (!s.ok()) return s;
    if (n == 0) break;
    *got += n;
  }
  return Status::Ok();
}

// The bytes already looked at, then the rest of the source.
class PrefixedSource : public LogSource {
 public:
  PrefixedSource(std::unique_ptr<LogSource> raw, const char* prefix, size_t length)
      : raw_(std::move(raw)), length_(length) {
    std::memcpy(prefix_, prefix, length);
  }
  Status Read(char* buffer, size_t size, size_t* got) override {
    if (position_ < length_) {
      size_t n = std::min(size, length_ - position_);
      std::memcpy(buffer, prefix_ + position_, n);
      position_ += n;
      *got = n;
      return Status::Ok();
    }
    return raw_->Read(buffer, size, got);
  }

 private:
  std::unique_ptr<LogSource> raw_;
  char prefix_[2];
  size_t length_;
  size_t position_ = 0;
};

// The rules both inflaters follow: members one after another, anything
// else behind a member, a cut member or a bad checksum is damage, and the
// bytes inflated before damage was met are handed on first, the damage
// itself on the next read. So a damaged trailer loses no line, and damage
// in the middle loses only what follows it.
class InflatingSource : public LogSource {
 public:
  Status Read(char* buffer, size_t size, size_t* got) final {
    *got = 0;
    if (damaged_) return failure_;
    if (finished_ || size == 0) return Status::Ok();
    uint8_t* out = reinterpret_cast<uint8_t*>(buffer);
    size_t room = std::min<size_t>(size, 1u << 30);
    size_t produced = 0;
    while (produced == 0) {
      Step step = Inflate(out, room, &produced);
      if (step == Step::kMemberEnd) {
        if (!NextMember()) break;
      } else if (step == Step::kNeedInput) {
        // Compressed data that ends inside a member is cut: damage.
        if (!Refill()) {
          damaged_ = true;
          break;
        }
      } else if (step == Step::kDamaged) {
        damaged_ = true;
        break;
      }
    }
    *got = produced;
    return produced == 0 && damaged_ ? failure_ : Status::Ok();
  }

 protected:
  enum class Step { kProgress, kNeedInput, kMemberEnd, kDamaged };

  // `held` bytes of room stay free before the input for the inflater that
  // needs to put bytes back.
  InflatingSource(std::unique_ptr<LogSource> raw, const char* prefix, size_t length, size_t held)
      : raw_(std::move(raw)), held_(held), input_(new unsigned char[held + kInputBlock]) {
    std::memcpy(input_.get() + held_, prefix, length);
  }

  unsigned char* InputStart() { return input_.get() + held_; }
  unsigned char* BufferStart() { return input_.get(); }

  // Inflates into `out` (`room` bytes), adding what it made to `*produced`.
  virtual Step Inflate(uint8_t* out, size_t room, size_t* produced) = 0;
  // The compressed bytes not yet taken.
  virtual const unsigned char* NextInput(size_t* available) = 0;
  virtual void SetInput(unsigned char* next, size_t available) = 0;
  // At the end of a member: gives back input the inflater read ahead.
  virtual void ReturnHeldBytes() {}
  // Starts the next member at the input's place.
  virtual void RestartMember() = 0;

 private:
  bool Refill() {
    if (rawEnded_) return false;
    size_t n = 0;
    Status s = raw_->Read(reinterpret_cast<char*>(InputStart()), kInputBlock, &n);
    if (!s.ok()) {
      failure_ = s;  // the file's own error rather than damage
      rawFailed_ = true;
      return false;
    }
    if (n == 0) {
      rawEnded_ = true;
      return false;
    }
    SetInput(InputStart(), n);
    return true;
  }

  // After one member: the end of the data, or the start of another member.
  bool NextMember() {
    ReturnHeldBytes();
    size_t available = 0;
    const unsigned char* next = NextInput(&available);
    if (available == 0) {
      if (!Refill()) {
        // A read error behind a member is damage too; a clean end is not.
        if (rawFailed_) {
          damaged_ = true;
        } else {
          finished_ = true;
        }
        return false;
      }
      next = NextInput(&available);
    }
    if (next[0] != kMagic0) {
      damaged_ = true;
      return false;
    }
    RestartMember();
    return true;
  }

  std::unique_ptr<LogSource> raw_;
  size_t held_;
  std::unique_ptr<unsigned char[]> input_;
  // What a read gives once damage is met: the file's own error, or damaged
  // data, which has no errno.
  Status failure_ = Status::Corrupt({}, {}, "the compressed data is damaged or cut short");
  bool rawFailed_ = false;
  bool rawEnded_ = false;
  bool damaged_ = false;
  bool finished_ = false;
};

// zlib's inflate: the portable one, used when ISA-L was not found at build
// time, and by the tests that hold the two to the same bytes.
class ZlibSource final : public InflatingSource {
 public:
  ZlibSource(std::unique_ptr<LogSource> raw, const char* prefix, size_t length)
      : InflatingSource(std::move(raw), prefix, length, 0) {
    stream_.next_in = InputStart();
    stream_.avail_in = static_cast<uInt>(length);
    initialized_ = inflateInit2(&stream_, 15 + 16) == Z_OK;  // gzip wrapper only
  }
  ~ZlibSource() override {
    if (initialized_) inflateEnd(&stream_);
  }

 private:
  Step Inflate(uint8_t* out, size_t room, size_t* produced) override {
    if (!initialized_) return Step::kDamaged;
    stream_.next_out = out + *produced;
    stream_.avail_out = static_cast<uInt>(room - *produced);
    uInt inBefore = stream_.avail_in;
    int rc = inflate(&stream_, Z_NO_FLUSH);
    size_t made = static_cast<size_t>(stream_.next_out - out) - *produced;
    *produced += made;
    if (rc == Z_STREAM_END) return Step::kMemberEnd;
    if (rc != Z_OK && rc != Z_BUF_ERROR) return Step::kDamaged;
    if (made > 0 || stream_.avail_in != inBefore) return Step::kProgress;
    return stream_.avail_in == 0 ? Step::kNeedInput : Step::kDamaged;
  }
  const unsigned char* NextInput(size_t* available) override {
    *available = stream_.avail_in;
    return stream_.next_in;
  }
  void SetInput(unsigned char* next, size_t available) override {
    stream_.next_in = next;
    stream_.avail_in = static_cast<uInt>(available);
  }
  void RestartMember() override { inflateReset(&stream_); }

  z_stream stream_{};
  bool initialized_ = false;
};

#if LOGVANE_HAVE_ISAL
// ISA-L's inflate, about 2.5 times as fast as zlib's on a web log.
class IsalSource final : public InflatingSource {
 public:
  IsalSource(std::unique_ptr<LogSource> raw, const char* prefix, size_t length)
      : InflatingSource(std::move(raw), prefix, length, kHeld), state_(new inflate_state{}) {
    StartMember(InputStart(), static_cast<uint32_t>(length));
  }

 private:
  Step Inflate(uint8_t* out, size_t room, size_t* produced) override {
    inflate_state& s = *state_;
    if (s.block_state == ISAL_BLOCK_FINISH) return Step::kMemberEnd;
    s.next_out = out + *produced;
    s.avail_out = static_cast<uint32_t>(room - *produced);
    uint32_t inBefore = s.avail_in;
    int rc = isal_inflate(&s);
    *produced = static_cast<size_t>(s.next_out - out);
    if (rc < 0) return Step::kDamaged;
    if (s.block_state == ISAL_BLOCK_FINISH) return Step::kMemberEnd;
    if (*produced > 0 || s.avail_in != inBefore) return Step::kProgress;
    // Nothing moved: the member wants more input, and one that has input
    // left yet makes nothing of it is damaged.
    return s.avail_in != 0 ? Step::kDamaged : Step::kNeedInput;
  }
  const unsigned char* NextInput(size_t* available) override {
    *available = state_->avail_in;
    return state_->next_in;
  }
  void SetInput(unsigned char* next, size_t available) override {
    state_->next_in = next;
    state_->avail_in = static_cast<uint32_t>(available);
  }
  void RestartMember() override { StartMember(state_->next_in, state_->avail_in); }

  void StartMember(uint8_t* next, uint32_t available) {
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_GZIP;  // header parsed, checksum and length checked
    state_->next_in = next;
    state_->avail_in = available;
  }

  // The inflater reads its input eight bytes at a time: at the end of a
  // member, the bytes after the trailer may sit in its bit buffer rather
  // than in the input. They go back in front of the input (the buffer keeps
  // room before its data for them).
  void ReturnHeldBytes() override {
    inflate_state& s = *state_;
    size_t held = static_cast<size_t>(s.read_in_length > 0 ? s.read_in_length : 0) / 8;
    if (held == 0) return;
    unsigned char* start = s.avail_in == 0 ? InputStart() : s.next_in;
    if (start < BufferStart() + held) {
      unsigned char* moved = InputStart();
      std::memmove(moved, start, s.avail_in);
      start = moved;
    }
    start -= held;
    for (size_t i = 0; i < held; ++i) {
      start[i] = static_cast<unsigned char>(s.read_in >> (8 * i));
    }
    s.next_in = start;
    s.avail_in += static_cast<uint32_t>(held);
    s.read_in = 0;
    s.read_in_length = 0;
  }

  static constexpr size_t kHeld = 8;      // room for the bit buffer's bytes
  std::unique_ptr<inflate_state> state_;  // large: its history window
};
#endif

}  // namespace

std::unique_ptr<LogSource> DecompressIfGzip(std::unique_ptr<LogSource> raw) {
#if LOGVANE_HAVE_ISAL
  return DecompressIfGzip(std::move(raw), Inflater::kIsal);
#else
  return DecompressIfGzip(std::move(raw), Inflater::kZlib);
#endif
}

bool IsalBuiltIn() { return LOGVANE_HAVE_ISAL != 0; }

std::unique_ptr<LogSource> DecompressIfGzip(std::unique_ptr<LogSource> raw, Inflater inflater) {
  char head[2];
  size_t length = 0;
  Status s = ReadFully(*raw, head, sizeof(head), &length);
  if (!s.ok()) {
    // Let the reading phase meet the error where it reads.
    struct Failing : LogSource {
      explicit Failing(Status failure) : failure(std::move(failure)) {}
      Status Read(char*, size_t, size_t* got) override {
        *got = 0;
        return failure;
      }
      Status failure;
    };
    return std::make_unique<Failing>(s);
  }
  if (length == 2 && static_cast<unsigned char>(head[0]) == kMagic0 &&
      static_cast<unsigned char>(head[1]) == kMagic1) {
#if LOGVANE_HAVE_ISAL
    if (inflater == Inflater::kIsal) {
      return std::make_unique<IsalSource>(std::move(raw), head, length);
    }
#else
    (void)inflater;
#endif
    return std::make_unique<ZlibSource>(std::move(raw), head, length);
  }
  return std::make_unique<PrefixedSource>(std::move(raw), head, length);
}

}  // namespace logvane
