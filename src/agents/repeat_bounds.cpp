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

// The end of a repeat operator at regex[i] that can take a group more than
// once ("*", "+", "{2,5}"), or i when there is none ("?", "{0,1}", "{1}").
bool RepeatsMoreThanOnce(std::string_view regex, size_t i) {
  if (i >= regex.size()) return false;
  if (regex[i] == '*' || regex[i] == '+') return true;
  if (regex[i] != '{') return false;
  size_t close = regex.find('}', i);
  if (close == std::string_view::npos) return false;
  std::string_view inside = regex.substr(i + 1, close - i - 1);
  return inside != "1" && inside != "0,1" && inside != "1,1" && inside != "0" && inside != "0,0";
}

namespace {

// The two texts being written and what the walk has learnt so far.
struct Opening {
  OpenedRegex result;
  std::string checked;
  bool checkable = true;
  uint32_t checkedGroups = 0;
  // Open parentheses: whether each holds an opened repeat.
  std::vector<bool> open;

  void Both(std::string_view text) {
    result.opened.append(text);
    checked.append(text);
  }
};

// The end of the atom at regex[i], and whether it stands for a single
// character; npos for a class that never closes. Parentheses update the
// group numbers and the open-group marks.
size_t AtomEnd(std::string_view regex, size_t i, bool* single, Opening& o) {
  *single = true;
  char c = regex[i];
  if (c == '\\') return EscapeEnd(regex, i, single);
  if (c == '[') return ClassEnd(regex, i);
  if (c == '(') {
    *single = false;
    std::string_view rest = regex.substr(i);
    if (rest.size() < 2 || rest[1] != '?' || rest.substr(0, 4) == "(?P<") {
      o.result.groupOf.push_back(++o.checkedGroups);
    }
    o.open.push_back(false);
  } else if (c == ')') {
    *single = false;
    if (!o.open.empty()) {
      bool holds = o.open.back();
      o.open.pop_back();
      if (holds && RepeatsMoreThanOnce(regex, i + 1)) o.checkable = false;
      if (holds && !o.open.empty()) o.open.back() = true;
    }
  } else if (c == '|' || c == '^' || c == '$' || c == '{' || c == '}' || c == '*' || c == '+' ||
             c == '?') {
    *single = false;
  }
  return i + 1;
}

// Writes atom{low,high} (its bounds' text `length` bytes at regex[*i]) as
// atom{low,} in the opened text and (atom{low,}) in the checked one.
void OpenRepeat(std::string_view regex, size_t* i, std::string_view atom, size_t length, size_t low,
                size_t high, Opening& o) {
  std::string repeat(1, '{');
  repeat.append(std::to_string(low)).append(",}");
  o.result.opened.append(atom).append(repeat);
  o.checked.append("(").append(atom).append(repeat);
  *i += length;
  // A lazy repeat stays lazy inside its group.
  if (*i < regex.size() && regex[*i] == '?') {
    o.Both("?");
    ++*i;
  }
  o.checked.push_back(')');
  o.result.spans.push_back({++o.checkedGroups, static_cast<uint32_t>(high)});
  if (!o.open.empty()) o.open.back() = true;
  if (high < o.result.exactUpTo) o.result.exactUpTo = high;
}

}  // namespace

OpenedRegex OpenBoundedRepeats(std::string_view regex) {
  Opening o;
  o.result.opened.reserve(regex.size());
  o.checked.reserve(regex.size() + 16);
  size_t i = 0;
  while (i < regex.size()) {
    bool single = true;
    size_t end = AtomEnd(regex, i, &single, o);
    if (end == std::string_view::npos) {
      o.Both(regex.substr(i));  // an unclosed class: RE2 refuses it anyway
      break;
    }
    std::string_view atom = regex.substr(i, end - i);
    i = end;
    size_t low = 0;
    size_t high = 0;
    size_t length =
        single && i < regex.size() && regex[i] == '{' ? ReadBounds(regex, i, &low, &high) : 0;
    if (length == 0 || high < kLeastOpenedBound || high > 1000 || low > high) {
      o.Both(atom);
      continue;
    }
    OpenRepeat(regex, &i, atom, length, low, high, o);
  }
  // Groups are numbered by their opening parentheses, as RE2 does, so those
  // after an inserted group moved up: groupOf says where to.
  if (o.checkable && !o.result.spans.empty()) o.result.checked = std::move(o.checked);
  return std::move(o.result);
}

}  // namespace logvane
