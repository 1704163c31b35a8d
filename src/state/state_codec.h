// A run's tally state to and from the sections of a state file: every
// table in first-seen order, the counters, the tallying settings and the
// provenance. Adding a section is one more kind in state_format.h, one
// writer and one reader here (see doc/state-format.md).
#ifndef LOGVANE_STATE_STATE_CODEC_H_
#define LOGVANE_STATE_STATE_CODEC_H_

#include <string>
#include <vector>

#include "common/status.h"
#include "state/provenance.h"
#include "state/state_format.h"
#include "state/state_settings.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

// What a state holds beside the tallies and counters.
struct StateFacts {
  std::vector<TallyingSetting> settings;
  std::vector<InputOrigin> inputs;
  uint16_t minorVersion = kStateMinorVersion;
  size_t skippedSections = 0;  // later optional sections this program passed over
};

// Empties tallies and counters wholly (ranFull marks and response codes
// too), for a tally that takes one log or one state after another.
void ResetTally(Tallies& tallies, RunCounters& counters);

// Whether a tally holds what the optional sections keep: records FROM or
// UNTIL skipped or kept, times (or untimed records) by hour, timed pages.
bool HoldsDateRange(const RunCounters& counters);
bool HoldsHourTimes(const Tallies& tallies);
size_t TimedPages(const Tallies& tallies);

// The whole state, header to END section. The tables must be in
// first-seen order (before the sorting phase).
std::string EncodeState(const Tallies& tallies, const RunCounters& counters,
                        const StateFacts& facts);

// The next state of `stream` into `tallies`, `counters` (reset first) and
// `facts`; `atEnd` (and Ok) when the stream ended cleanly before one. A
// state that is cut, damaged, of another format or byte order, or that
// holds what no run could have written, gives its fault with the byte
// offset.
Status DecodeState(StateStream& stream, Tallies& tallies, RunCounters& counters, StateFacts* facts,
                   bool* atEnd);

// Calls fn(table, index) for each keyed table, in feed order (the order of
// their sections), with the table's name for the operator.
template <typename T, typename Fn>
void ForEachTable(T& tallies, Fn&& fn) {
  fn(tallies.users, 0, "user");
  fn(tallies.dates, 1, "date");
  fn(tallies.hours, 2, "hour");
  fn(tallies.pages, 3, "page");
  fn(tallies.directories, 4, "directory");
  fn(tallies.notFound, 5, "not-found page");
  fn(tallies.extra1, 6, "Extra 1");
  fn(tallies.extra2, 7, "Extra 2");
}
inline constexpr uint32_t kTableSectionCount = 8;

// The same for the user-agent tables (AGENTS).
template <typename T, typename Fn>
void ForEachAgentTable(T& agents, Fn&& fn) {
  fn(agents.browsers, 0, "browser");
  fn(agents.systems, 1, "operating-system");
  fn(agents.bots, 2, "crawler");
  fn(agents.aiPages, 3, "AI crawlers' page");
}
inline constexpr uint32_t kAgentTableCount = 4;
// Calls fn(table, index) for each table that keeps its heaviest keys with
// TABLES=SUMMARY (every one but dates and hours), with its feed index.
template <typename T, typename Fn>
void ForEachRankedTable(T& tallies, Fn&& fn) {
  fn(tallies.users, 0);
  fn(tallies.pages, 3);
  fn(tallies.directories, 4);
  fn(tallies.notFound, 5);
  fn(tallies.extra1, 6);
  fn(tallies.extra2, 7);
}

// The flags a section of `kind` is written with: the distinct counts and
// the user-agent tallies may be passed over by a reader that does not know
// them (their settings refuse the merge anyway); nothing else may.
inline uint32_t SectionFlags(uint32_t kind) {
  const bool agents = kind >= kAgentClassesSection && kind <= kAiPagesSection;
  return kind == kDistinctSection || agents ? kSectionSkippable : 0;
}

}  // namespace logvane

#endif  // LOGVANE_STATE_STATE_CODEC_H_
