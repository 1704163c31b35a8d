// One log line on its way into the tallies, in two steps. PlanLine (called
// by LinePreparer once a parser has filled the record) decides once, from the
// line and the settings alone, everything about it: which tables it feeds with
// which keys, whether it is counted as processed, and which fault (if any)
// it reports. That plan is all that the memory hints, the reading threads'
// slot lookups and the router read. LineRouter::Route then counts the plan
// in log order and writes the line's console text. Preparing reads nothing
// but the line, the format and the settings, so lines may be prepared ahead
// of routing, on any thread.
#ifndef LOGVANE_INTAKE_LINE_ROUTER_H_
#define LOGVANE_INTAKE_LINE_ROUTER_H_

#include <cstdint>
#include <string_view>

#include "config/run_settings.h"
#include "intake/log_parser.h"
#include "platform/console.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

// The keyed tables a line may feed, in the order routing counts them. A new
// counted field is one entry here, its table in TableOf, its key in PlanLine
// and its capacity message in the router.
enum class Feed : uint8_t {
  kUser,
  kDate,
  kHour,
  kPage,
  kDirectory,
  kNotFound,
  kExtra1,
  kExtra2,
};
inline constexpr size_t kFeedCount = 8;

inline constexpr uint16_t FeedBit(Feed f) {
  return static_cast<uint16_t>(1u << static_cast<unsigned>(f));
}

// How a line ends in routing.
enum class LineEnd : uint8_t {
  kCountedEarly,  // no bracket, bad format, no match, not selected: counted
  kDropped,       // an excluded client: nothing at all
  kStopped,       // no hour or no page: what came before stays tallied
  kCounted,       // every step: counted, and the milestones are tested
  kOutOfRange,    // before FROM or from UNTIL on: skipped before any rule
};

// Whether a line's user continues the previous user's page request, where
// the line before is in the same block (ResolveBlock); else the router
// compares.
enum class UserTurn : int8_t { kCompare, kSame, kNew };

// What a line does, decided once when it is prepared.
struct LinePlan {
  uint16_t feeds;  // FeedBit of every table the line is counted in
  LineEnd end;
  LineFault fault;  // reported after the feeds are counted; kNone for none
  UserTurn userTurn;
  bool robotsPage;  // marks its user as a robot (ROBOTS=RPT, /robots...)
  bool countsCode;  // its response code goes to the code counters
  // The time taken, added where the hour and the page are counted
  // (PreparedLine::micros); kNoField when the format has no such field.
  TimeTaken timeTaken;
  bool inRange;  // its clock was read and FROM/UNTIL keep it
  uint8_t hour;  // the record's own hour (0 to 99), where it has one
};

// One line with its plan, its keys hashed, and the slots of those keys that
// a reading thread found in the tables as they were (ResolveBlock; -1 where
// none was found: the router then searches). The plan, the slots and what
// routing reads of the record come first, so that routing an ordinary line
// reads few cache lines of it. Texts are views into the line or into the
// record's own stores, so it stays in place while it is used.
struct PreparedLine {
  LinePlan plan;
  int32_t slot[kFeedCount];
  HashedKey key[kFeedCount];
  uint64_t micros;  // the time taken, when plan.timeTaken is kValue
  LogRecord record;
  char hourBuffer[24];

  bool Feeds(Feed f) const { return (plan.feeds & FeedBit(f)) != 0; }
};

// What preparing a line reads: the parser's part of the settings, and the
// settings themselves for the exclusions, robots and the hour offset.
struct LineRules {
  // `timesOn`: the log's format has a time-taken field.
  explicit LineRules(const RunSettings& settings, bool timesOn = false);
  const RunSettings& settings;
  LineFormat format;
  bool robotsOn;
  bool timesOn;
  bool rangeOn;  // FROM or UNTIL is set
};

// Plans a record that a parser has filled already (LinePreparer parses and
// plans). The line must stay in place as long as `p` is used.
void PlanLine(const LineRules& rules, PreparedLine& p);

// For a block of prepared lines, in log order, on a reading thread: the
// slots of keys that `tallies` holds already, and how each user follows
// the one before within the block. The counting thread may add keys
// meanwhile; only what it never changes once written is read.
void ResolveBlock(const Tallies& tallies, PreparedLine* lines, size_t count);

// Feeds the tallies and counters in log order, writing the console lines.
class LineRouter {
 public:
  LineRouter(Tallies& tallies, RunCounters& counters, Console& console);

  // Hints for the memory: the index buckets of a prepared line's keys, which
  // in a large log are seldom in the cache, then, once those have had time
  // to arrive, the entries they name.
  void PrefetchBuckets(const PreparedLine& p) const;
  void PrefetchEntries(const PreparedLine& p) const;

  // Counts `p` by its plan and writes its console lines. A line whose user
  // follows by its block (not kCompare) may leave the previous user as a
  // view into it: KeepPreviousUser must copy it before the line goes.
  void Route(PreparedLine& p);
  void KeepPreviousUser();

  const Tallies& tallies() const { return tallies_; }

 private:
  void NoteLine();
  void CountUser(PreparedLine& p);
  void CountFeeds(PreparedLine& p);
  // Inline: it runs for every timed line, beside the feeds.
  [[gnu::always_inline]] inline void CountTimeTaken(const PreparedLine& p, int64_t hourSlot,
                                                    int64_t pageSlot);
  void NoteKeptTime(const RecordTime& clock);
  void Reject(LineFault fault, std::string_view line);

  Tallies& tallies_;
  RunCounters& counters_;
  Console& console_;
  std::string_view pendingUser_;  // the last user, not yet in previousUser
  bool userPending_ = false;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LINE_ROUTER_H_
