// uap-core bounds its repeats ("[^;/]{1,100}", ".{0,200}") so that
// backtracking engines stay fast; for RE2 the bounds only make the programs
// huge and slow to build. An expression whose large bounded repeats of one
// character are opened ({m,n} to {m,}) matches the same texts, with the same
// groups, in any text no longer than the smallest bound it opened, and a
// superset of them in longer ones.
#ifndef LOGVANE_AGENTS_REPEAT_BOUNDS_H_
#define LOGVANE_AGENTS_REPEAT_BOUNDS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace logvane {

// Repeats bounded below this stay as they are: opening them would make the
// opened expression exact only for very short agents.
inline constexpr size_t kLeastOpenedBound = 20;

// `regex` with every repeat {m,n} of a single-character atom (".", an
// escape, a class) opened when n >= kLeastOpenedBound and n <= 1000 (RE2's
// limit, so a refused expression stays refused); *bound gets the smallest
// n opened, or SIZE_MAX when nothing was.
std::string OpenBoundedRepeats(std::string_view regex, size_t* bound);

}  // namespace logvane

#endif  // LOGVANE_AGENTS_REPEAT_BOUNDS_H_
