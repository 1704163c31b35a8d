#include "intake/json_text.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logvane {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `count` hex digits at in[p], or -1.
int32_t Hex(std::string_view in, size_t p, size_t count) {
  if (p + count > in.size()) return -1;
  int32_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    int h = HexValue(in[p + i]);
    if (h < 0) return -1;
    value = value * 16 + h;
  }
  return value;
}

class Out {
 public:
  Out(char* out, size_t capacity) : out_(out), capacity_(capacity) {}
  bool full() const { return size_ == capacity_; }
  void Put(char c) {
    if (size_ < capacity_) out_[size_++] = c;
  }
  void PutRun(const char* p, size_t n) {
    if (n > capacity_ - size_) n = capacity_ - size_;
    std::memcpy(out_ + size_, p, n);
    size_ += n;
  }
  void PutCodePoint(uint32_t cp) {
    if (cp < 0x80) {
      Put(static_cast<char>(cp));
    } else if (cp < 0x800) {
      Put(static_cast<char>(0xC0 | (cp >> 6)));
      Put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      Put(static_cast<char>(0xE0 | (cp >> 12)));
      Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      Put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      Put(static_cast<char>(0xF0 | (cp >> 18)));
      Put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      Put(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  size_t size() const { return size_; }

 private:
  char* out_;
  size_t capacity_;
  size_t size_ = 0;
};

// The first quote or backslash at or after `i`, or in.size().
size_t EndOfRun(std::string_view in, size_t i) {
  const char* p = in.data();
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  for (; i + 16 <= in.size(); i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash))));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  while (i < in.size() && p[i] != '"' && p[i] != '\\') ++i;
  return i;
}

// The character of a one-letter escape (\n and the like), or 0.
char SimpleEscape(char e) {
  switch (e) {
    case '"': return '"';
    case '\\': return '\\';
    case '/': return '/';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return 0;
  }
}

// Decodes the escape at in[i] (its backslash) into `o`; gives the bytes it
// took, or 0 when it is no escape we know.
size_t DecodeEscape(std::string_view in, size_t i, Out& o) {
  char e = in[i + 1];
  if (char simple = SimpleEscape(e)) {
    o.Put(simple);
    return 2;
  }
  if (e == 'x') {
    int32_t byte = Hex(in, i + 2, 2);
    if (byte < 0) return 0;
    o.Put(static_cast<char>(byte));
    return 4;
  }
  if (e != 'u') return 0;
  int32_t unit = Hex(in, i + 2, 4);
  if (unit < 0) return 0;
  size_t taken = 6;
  uint32_t cp = static_cast<uint32_t>(unit);
  if (cp >= 0xD800 && cp < 0xDC00) {
    // A high surrogate makes a code point only with a low one after it.
    size_t next = i + 6;
    int32_t low = (next + 1 < in.size() && in[next] == '\\' && in[next + 1] == 'u')
                      ? Hex(in, next + 2, 4)
                      : -1;
    if (low >= 0xDC00 && low < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
      taken += 6;
    } else {
      cp = 0xFFFD;
    }
  } else if (cp >= 0xDC00 && cp < 0xE000) {
    cp = 0xFFFD;
  }
  o.PutCodePoint(cp);
  return taken;
}

}  // namespace

DecodedText DecodeJsonText(std::string_view in, char* out, size_t capacity) {
  Out o(out, capacity);
  size_t i = 0;
  while (i < in.size()) {
    // Plain runs are copied whole.
    size_t run = EndOfRun(in, i);
    o.PutRun(in.data() + i, run - i);
    i = run;
    if (i >= in.size()) break;
    if (o.full()) return {o.size(), i, false};
    if (in[i] == '"') return {o.size(), i, true};
    // A backslash: an escape, or kept as written.
    size_t taken = i + 1 < in.size() ? DecodeEscape(in, i, o) : 0;
    if (taken == 0) {
      o.Put('\\');
      taken = 1;
    }
    i += taken;
  }
  return {o.size(), i, false};
}

}  // namespace logvane
