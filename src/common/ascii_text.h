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

namespace logvane {

inline char FoldChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline char UpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// Equal over their whole length, letters A-Z matching a-z.
inline bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
}

// True when `text` begins with `prefix`, compared without regard to case.
inline bool StartsWithFolded(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsFolded(text.substr(0, prefix.size()), prefix);
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

}  // namespace logvane

#endif  // LOGVANE_COMMON_ASCII_TEXT_H_
