#include "agents/repeat_bounds.h"

#include <cstdint>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// The end of the class that starts at regex[i] == '[', or npos when it does
// not close: "]" first (after an optional "^") is a member, escapes are
// skipped, and "[:alpha:]" inside is passed whole.
size_t ClassEnd(std::string_view regex, size_t i) {
  size_t j = i + 1;
  if (j < regex.size() && regex[j] == '^') ++j;
  if (j < regex.size() && regex[j] == ']') ++j;
  while (j < regex.size()) {
    char c = regex[j];
    if (c == '\\') {
      j += 2;
    } else if (c == '[' && j + 1 < regex.size() && regex[j + 1] == ':') {
      size_t close = regex.find(":]", j + 2);
      if (close == std::string_view::npos) return close;
      j = close + 2;
    } else if (c == ']') {
      return j + 1;
    } else {
      ++j;
    }
  }
  return std::string_view::npos;
}

// The end of the escape at regex[i] == '\\', and whether it stands for one
// character.
size_t EscapeEnd(std::string_view regex, size_t i, bool* single) {
  char e = i + 1 < regex.size() ? regex[i + 1] : '\0';
  size_t end = i + 2;
  *single = true;
  if (e == 'x' || e == 'p' || e == 'P') {
    // \x41, \x{41}, \pL, \p{Greek}: one character, written longer.
    if (end < regex.size() && regex[end] == '{') {
      size_t close = regex.find('}', end);
      end = close == std::string_view::npos ? regex.size() : close + 1;
    } else {
      end += e == 'x' ? 2 : 1;
    }
  } else if (e == 'Q') {
    // \Q...\E is literal text: copied as it stands, braces and all.
    size_t close = regex.find("\\E", end);
    end = close == std::string_view::npos ? regex.size() : close + 2;
    *single = false;
  } else if (IsDigit(e)) {
    *single = false;  // a back-reference, which RE2 refuses anyway
  }
  return end < regex.size() ? end : regex.size();
}

// Reads "{m,n}" at regex[i]; its length, or 0 when it is not that form.
size_t ReadBounds(std::string_view regex, size_t i, size_t* low, size_t* high) {
  size_t j = i + 1;
  auto number = [&](size_t* value) {
    size_t start = j;
    *value = 0;
    while (j < regex.size() && IsDigit(regex[j]) && j - start < 6) {
      *value = *value * 10 + static_cast<size_t>(regex[j] - '0');
      ++j;
    }
    return j > start;
  };
  if (!number(low) || j >= regex.size() || regex[j] != ',') return 0;
  ++j;
  if (!number(high) || j >= regex.size() || regex[j] != '}') return 0;
  return j + 1 - i;
}

}  // namespace

std::string OpenBoundedRepeats(std::string_view regex, size_t* bound) {
  *bound = SIZE_MAX;
  std::string out;
  out.reserve(regex.size());
  size_t i = 0;
  while (i < regex.size()) {
    // One atom, and whether it stands for a single character.
    size_t end = i + 1;
    bool single = true;
    char c = regex[i];
    if (c == '\\') {
      end = EscapeEnd(regex, i, &single);
    } else if (c == '[') {
      end = ClassEnd(regex, i);
      if (end == std::string_view::npos) {
        out.append(regex.substr(i));  // unclosed: RE2 refuses it anyway
        return out;
      }
    } else if (c == '(' || c == ')' || c == '|' || c == '^' || c == '$' || c == '{' || c == '}' ||
               c == '*' || c == '+' || c == '?') {
      single = false;
    }
    out.append(regex.substr(i, end - i));
    i = end;
    if (!single || i >= regex.size() || regex[i] != '{') continue;
    size_t low = 0;
    size_t high = 0;
    size_t length = ReadBounds(regex, i, &low, &high);
    if (length == 0) continue;
    if (high >= kLeastOpenedBound && high <= 1000 && low <= high) {
      out += '{';
      out += std::to_string(low);
      out += ",}";
      if (high < *bound) *bound = high;
    } else {
      out.append(regex.substr(i, length));
    }
    i += length;
  }
  return out;
}

}  // namespace logvane
