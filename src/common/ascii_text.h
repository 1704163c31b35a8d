// Single-byte text helpers. Case-insensitive comparisons in Logvane fold only
// the letters A to Z; every other byte, including those above 127, compares
// as itself.
#ifndef LOGVANE_COMMON_ASCII_TEXT_H_
#define LOGVANE_COMMON_ASCII_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logvane {

inline char FoldChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline char UpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The word-at-a-time forms of FoldChar, for the hot paths that fold keys.
namespace fold_detail {

inline uint64_t Load8(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

inline uint64_t Load4(const char* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

// Lowercases the bytes 'A'..'Z' of a word; all other bytes stay as they are.
inline uint64_t FoldWord(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  uint64_t low7 = w & ~kHigh;
  uint64_t aboveA = low7 + (0x80 - 'A') * kOnes;      // high bit set where >= 'A'
  uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;  // high bit set where > 'Z'
  uint64_t upper = aboveA & ~aboveZ & ~w & kHigh;
  return w | (upper >> 2);
}

#if defined(__SSE2__)
inline __m128i Load16(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// FoldWord for sixteen bytes: 'A'..'Z' moved to -128..-103 are the only
// bytes below -102.
inline __m128i Fold16(__m128i v) {
  __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(0x80 - 'A'));
  __m128i upper = _mm_cmplt_epi8(shifted, _mm_set1_epi8(-128 + 26));
  return _mm_or_si128(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
}

inline bool Same16(const char* a, const char* b) {
  return _mm_movemask_epi8(_mm_cmpeq_epi8(Load16(a), Load16(b))) == 0xFFFF;
}
#endif

// Whether n bytes at a and b are the same, in words rather than by a
// library call: keys are short.
[[gnu::always_inline]] inline bool SameBytes(const char* a, const char* b, size_t n) {
#if defined(__SSE2__)
  if (n >= 16) {
    for (size_t i = 0; i + 16 < n; i += 16) {
      if (!Same16(a + i, b + i)) return false;
    }
    return Same16(a + n - 16, b + n - 16);
  }
#endif
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) {
      if (Load8(a + i) != Load8(b + i)) return false;
    }
    return Load8(a + n - 8) == Load8(b + n - 8);
  }
  if (n >= 4) return Load4(a) == Load4(b) && Load4(a + n - 4) == Load4(b + n - 4);
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace fold_detail

// Equal over their whole length, letters A-Z matching a-z. Texts met again
// are usually written alike, so a plain comparison settles most cases.
inline bool EqualsFolded(std::string_view a, std::string_view b) {
  using namespace fold_detail;
  if (a.size() != b.size()) return false;
  size_t n = a.size();
  if (SameBytes(a.data(), b.data(), n)) return true;
  const char* p = a.data();
  const char* q = b.data();
#if defined(__SSE2__)
  for (; n >= 16; p += 16, q += 16, n -= 16) {
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(Fold16(Load16(p)), Fold16(Load16(q)))) != 0xFFFF) {
      return false;
    }
  }
#endif
  for (; n >= 8; p += 8, q += 8, n -= 8) {
    if (FoldWord(Load8(p)) != FoldWord(Load8(q))) return false;
  }
  for (size_t i = 0; i < n; ++i) {
    if (FoldChar(p[i]) != FoldChar(q[i])) return false;
  }
  return true;
}

// True when `text` begins with `prefix`, compared without regard to case.
inline bool StartsWithFolded(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsFolded(text.substr(0, prefix.size()), prefix);
}

// The month 1 to 12 of a three-letter English name in any case, 0 for none.
inline int MonthNumber(std::string_view name) {
  static constexpr std::string_view kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 0; m < 12; ++m) {
    if (EqualsFolded(name, kNames[m])) return m + 1;
  }
  return 0;
}

inline void LowercaseInPlace(std::string& text) {
  for (char& c : text) c = FoldChar(c);
}

inline std::string Lowercased(std::string_view text) {
  std::string out(text);
  LowercaseInPlace(out);
  return out;
}

// A short text fixed at compile time, so that a message naming a constant
// costs nothing where it is passed.
struct ConstText {
  char data[96] = {};
  size_t size = 0;
  constexpr std::string_view view() const { return std::string_view(data, size); }
};

// `before`, `n` in decimal (with a comma between groups of three digits
// when `grouped`: "50,000"), then `after`; cut to ConstText's room.
constexpr ConstText NumberedText(std::string_view before, uint64_t n, std::string_view after,
                                 bool grouped = false) {
  char digits[32] = {};
  size_t count = 0;
  do {
    if (grouped && count % 4 == 3) digits[count++] = ',';
    digits[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  ConstText text;
  auto append = [&text](char c) {
    if (text.size < sizeof(text.data)) text.data[text.size++] = c;
  };
  for (char c : before) append(c);
  while (count > 0) append(digits[--count]);
  for (char c : after) append(c);
  return text;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The C library's notion of white space, used where numbers are converted.
inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A leading decimal integer: white space skipped, optional sign, digits up to
// the first other character; no digits give 0. Saturates instead of
// overflowing, so a hostile value can never wrap into a small one.
inline int64_t LeadingInteger(std::string_view text, bool skipAllSpace = true) {
  size_t i = 0;
  while (i < text.size() &&
         (skipAllSpace ? IsSpace(text[i]) : (text[i] == ' ' || text[i] == '\t'))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr int64_t kLimit = INT64_MAX / 10 - 10;
  int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

// A leading integer held in 32 bits, saturating at the type's bounds.
inline int32_t LeadingInt32(std::string_view text, bool skipAllSpace = true) {
  int64_t v = LeadingInteger(text, skipAllSpace);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// A text field of fixed capacity that never allocates; longer texts are cut.
// It is plain data: made with {} (or in zeroed memory) it is empty, made
// without, it holds nothing meaningful until assigned or cleared. So the
// large tables of them can be used as the zero pages they are allocated in,
// rather than written over slot by slot when they are made.
template <size_t N>
struct FixedText {
  static constexpr size_t kCapacity = N;
  uint32_t size;
  char data[N];

  std::string_view view() const { return std::string_view(data, size); }
  bool empty() const { return size == 0; }
  void clear() { size = 0; }
  void assign(std::string_view text) {
    size = static_cast<uint32_t>(text.size() < N ? text.size() : N);
    if (size != 0) std::memcpy(data, text.data(), size);
  }
};

// `text` lowercased into `out`, cut to its capacity. Bytes up to
// `readableEnd` (at or past the text's end) may be read, so sixteen go at a
// time while both they and the store have room; bytes written past the
// text's end are not part of the value.
template <size_t N>
void AssignLowercased(FixedText<N>& out, std::string_view text, const char* readableEnd) {
  size_t n = text.size() < N ? text.size() : N;
  size_t i = 0;
#if defined(__SSE2__)
  for (; i < n && i + 16 <= N && text.data() + i + 16 <= readableEnd; i += 16) {
    __m128i v = fold_detail::Fold16(fold_detail::Load16(text.data() + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data + i), v);
  }
#else
  (void)readableEnd;
#endif
  for (; i < n; ++i) out.data[i] = FoldChar(text[i]);
  out.size = static_cast<uint32_t>(n);
}

template <size_t N>
void AssignLowercased(FixedText<N>& out, std::string_view text) {
  AssignLowercased(out, text, text.data() + text.size());
}

}  // namespace logvane

#endif  // LOGVANE_COMMON_ASCII_TEXT_H_
