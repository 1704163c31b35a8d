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
  return text.size() >= prefix.size() &&
         EqualsFolded(text.substr(0, prefix.size()), prefix);
}

inline void LowercaseInPlace(std::string& text) {
  for (char& c : text) c = FoldChar(c);
}

inline std::string Lowercased(std::string_view text) {
  std::string out(text);
  LowercaseInPlace(out);
  return out;
}

// `n` in decimal; with `grouped`, a comma between each group of three
// digits ("50,000").
inline std::string DecimalText(uint64_t n, bool grouped = false) {
  std::string digits = std::to_string(n);
  if (!grouped) return digits;
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
    text.push_back(digits[i]);
  }
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
template <size_t N>
struct FixedText {
  static constexpr size_t kCapacity = N;
  uint32_t size = 0;
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
