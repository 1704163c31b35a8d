// uap-core bounds its repeats ("[^;/]{1,100}", ".{0,200}") so that
// backtracking engines stay fast; for RE2 the bounds only make the programs
// huge and slow to build and run. An expression whose large bounded repeats
// of one character are opened ({m,n} to {m,}) matches a superset of the
// texts, and in any text no longer than the smallest bound it opened exactly
// the same ones, with the same groups.
//
// For longer texts the opened form can still settle a match: put each
// opened repeat in a group of its own, and if the first match (by RE2's
// leftmost-first rule) keeps every repeat within its bound, it is a match of
// the file's form too, and its first: the file's form matches a subset of
// the opened form's matches, in the same order of preference.
#ifndef LOGVANE_AGENTS_REPEAT_BOUNDS_H_
#define LOGVANE_AGENTS_REPEAT_BOUNDS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace logvane {

// Repeats bounded below this stay as they are: opening them would make the
// opened expression exact only for very short agents.
inline constexpr size_t kLeastOpenedBound = 20;

struct OpenedRegex {
  // Every repeat {m,n} of a single-character atom (".", an escape, a class)
  // opened when n >= kLeastOpenedBound and n <= 1000 (RE2's limit, so a
  // refused expression stays refused).
  std::string opened;
  size_t exactUpTo = SIZE_MAX;  // the smallest bound opened
  // The opened form with each opened repeat in a group of its own; empty
  // when nothing was opened, or when an opened repeat sits in a group that
  // repeats (its group would show the last round only).
  std::string checked;
  std::vector<uint32_t> groupOf;  // the file's group k is checked's groupOf[k - 1]
  struct Span {
    uint32_t group;  // in `checked`
    uint32_t bound;
  };
  std::vector<Span> spans;
};

OpenedRegex OpenBoundedRepeats(std::string_view regex);

}  // namespace logvane

#endif  // LOGVANE_AGENTS_REPEAT_BOUNDS_H_
