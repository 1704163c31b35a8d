// Helpers for the parameter file's diagnostics: what a line that no keyword
// took was meant to be, and whether a value reads as the setting wants.
#ifndef LOGVANE_CONFIG_KEYWORD_HINTS_H_
#define LOGVANE_CONFIG_KEYWORD_HINTS_H_

#include <cstddef>
#include <string_view>
#include <vector>

namespace logvane {

// The word of a line that looks like a setting: letters, digits and "_"
// from the line's start, then optional blanks and "=". Empty when the line
// does not look so.
std::string_view SettingWord(std::string_view line);

// Edits (insert, delete, replace, swap two neighbours) between two words,
// without regard to case.
size_t EditDistanceFolded(std::string_view a, std::string_view b);

// The keyword nearest to `word` among `keywords`, compared by the part of
// each keyword before its own "=" (PAGES=FULL is near "PAGE"); empty when
// none is near enough to be a likely slip.
std::string_view NearestKeyword(std::string_view word,
                                const std::vector<std::string_view>& keywords);

// Whether `value` is a plain decimal integer: blanks, an optional sign,
// digits, blanks.
bool IsPlainNumber(std::string_view value);

// A UTF-8 byte-order mark.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace logvane

#endif  // LOGVANE_CONFIG_KEYWORD_HINTS_H_
