#include "config/keyword_hints.h"

#include <algorithm>

#include "common/ascii_text.h"

namespace logvane {

namespace {

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '_';
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string_view SettingWord(std::string_view line) {
  size_t end = 0;
  while (end < line.size() && IsWordChar(line[end])) ++end;
  if (end == 0 || IsDigit(line[0])) return {};
  size_t at = end;
  while (at < line.size() && IsBlank(line[at])) ++at;
  if (at >= line.size() || line[at] != '=') return {};
  return line.substr(0, end);
}

size_t EditDistanceFolded(std::string_view a, std::string_view b) {
  // Keywords are short; longer words are never near one.
  constexpr size_t kLongest = 40;
  if (a.size() > kLongest || b.size() > kLongest) return kLongest;
  size_t d[kLongest + 1][kLongest + 1];
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t cost = Fold(a[i - 1]) == Fold(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && Fold(a[i - 1]) == Fold(b[j - 2]) && Fold(a[i - 2]) == Fold(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

std::string_view NearestKeyword(std::string_view word,
                                const std::vector<std::string_view>& keywords) {
  std::string_view best;
  size_t bestDistance = 0;
  for (std::string_view keyword : keywords) {
    std::string_view stem = keyword.substr(0, keyword.find('='));
    size_t distance = EditDistanceFolded(word, stem);
    // One slip in a short word, two in a longer one.
    size_t allowed = std::min(word.size(), stem.size()) <= 4 ? 1 : 2;
    if (distance > allowed) continue;
    if (best.empty() || distance < bestDistance) {
      best = keyword;
      bestDistance = distance;
    }
  }
  return best;
}

bool IsPlainNumber(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && IsSpace(value[i])) ++i;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
  size_t digits = i;
  while (i < value.size() && IsDigit(value[i])) ++i;
  if (i == digits) return false;
  while (i < value.size() && IsSpace(value[i])) ++i;
  return i == value.size();
}

}  // namespace logvane
