// uap-core's three parser lists compiled for matching: one RE2::Set per
// list finds every expression that matches an agent, the lowest-numbered of
// them wins (uap-core's "first match"), and that expression alone runs again
// for its groups, which fill the fields through the rule's replacements.
#ifndef LOGVANE_AGENTS_UAP_MATCHER_H_
#define LOGVANE_AGENTS_UAP_MATCHER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "agents/uap_regexes.h"
#include "common/ascii_text.h"
#include "common/status.h"

namespace logvane {

enum class UapList : uint8_t { kUserAgent, kOs, kDevice };

// A field is cut to this many bytes: report tables cut keys shorter still.
inline constexpr size_t kUapFieldWidth = 64;

// What one list says about one agent. Fields are empty where undefined;
// for the browser list they are family, major, minor, patch; for the
// system's family, major, minor, patch, patch_minor; for the device's
// family, brand, model.
struct UapMatch {
  int32_t rule = -1;  // the list's rule that matched; -1 when none did
  FixedText<kUapFieldWidth> fields[kUapFields];
  // Where the rule's first group matched in the agent (-1: no such group,
  // or it took no part), for callers that judge what the rule saw.
  int32_t groupBegin = -1;
  int32_t groupEnd = -1;
};

inline constexpr unsigned kUapAllFields = (1u << kUapFields) - 1;
inline constexpr unsigned kUapFirstGroup = 1u << kUapFields;

// Expressions left out because RE2 cannot take them (look-around,
// back-references, ...), for the caller to report once.
struct RefusedExpressions {
  size_t count = 0;
  std::vector<std::string> first;  // "os_parsers, line 812: why", the first few
  static constexpr size_t kKept = 5;
};

// Whether this build can match (it needs RE2).
bool CanMatchUapRegexes();

// Per-thread room for a match, reused so a match allocates nothing of ours.
struct UapScratch {
  std::vector<int> matched;
};

// Built once, then read-only: any number of threads may match at once.
class UapMatcher {
 public:
  UapMatcher();
  ~UapMatcher();
  UapMatcher(const UapMatcher&) = delete;
  UapMatcher& operator=(const UapMatcher&) = delete;

  // Compiles the lists of `regexes` (from the file `name`). Expressions RE2
  // refuses are counted in `refused` and skipped; the rest keep their order.
  // Fails only when this build has no RE2 or the sets cannot be built.
  Status Build(const UapRegexes& regexes, std::string_view name, RefusedExpressions* refused);

  // Matches `agent` against one list; false (and out->rule -1) when no
  // expression matches. Only the fields whose bits are set in `fields`
  // (bit f for fields[f], kUapFirstGroup for the first group's place) are
  // worked out; the others are left empty, the family "Other". Asking for
  // fewer saves running the winning expression again for its groups.
  bool Match(UapList list, std::string_view agent, unsigned fields, UapScratch& scratch,
             UapMatch* out) const;

  // Expressions in use, over the three lists.
  size_t RuleCount() const;
  // Matches that fell back to trying the expressions one by one because a
  // set's automaton ran out of memory.
  uint64_t SlowMatches() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace logvane

#endif  // LOGVANE_AGENTS_UAP_MATCHER_H_
