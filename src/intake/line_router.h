// One log line on its way into the tallies, in two steps: PrepareLine finds
// its fields (through the one parse entry, ParseLogLine) and hashes its
// user and page keys; LineRouter::Route feeds the tallies in their fixed
// order and writes the line's console text. Preparing reads nothing but the
// line and the format, so lines may be prepared ahead of routing, on any
// thread; routing happens in log order.
#ifndef LOGVANE_INTAKE_LINE_ROUTER_H_
#define LOGVANE_INTAKE_LINE_ROUTER_H_

#include <string_view>

#include "config/run_settings.h"
#include "intake/log_parser.h"
#include "platform/console.h"
#include "tally/run_counters.h"
#include "tally/tally_tables.h"

namespace logvane {

// One line with every field it can give, its keys hashed, and every
// routing decision that depends on the line and the settings alone (the
// exclusions, the robots page, the shifted hour). Its texts are views into
// the line or into its own stores, so it stays in place while it is used.
// Fields are set only as far as the line got.
// Slots of the line's keys found by a reading thread in the tables as they
// were (ResolveBlock), -1 where none was found: the router counts there
// without searching. The first thing in a prepared line, with the record's
// flags, so that routing an ordinary line reads two cache lines of it.
struct KnownSlots {
  int32_t user, date, hour, page, directory, notFound, extra1, extra2;
};

// Whether a line's user continues the previous user's page request, where
// the line before is in the same block (ResolveBlock); else the router
// compares.
enum class UserTurn : int8_t { kCompare, kSame, kNew };

struct PreparedLine {
  KnownSlots slots;
  UserTurn userTurn;
  bool endsLine;  // the piece ends with its line's newline
  LogRecord record;
  HashedKey user;
  HashedKey page;
  HashedKey directory;
  HashedKey extra1;
  HashedKey extra2;
  bool addressExcluded;
  bool pageExcluded;
  bool robotsPage;
  bool extra1Excluded;
  bool extra2Excluded;
  std::string_view hourKey;  // in hourBuffer
  char hourBuffer[24];
};

// What preparing a line reads: the parser's part of the settings, and the
// settings themselves for the exclusions, robots and the hour offset.
struct LineRules {
  explicit LineRules(const RunSettings& settings);
  const RunSettings& settings;
  LineFormat format;
  bool robotsOn;
};

// Fills `p` for `line`. The line must stay in place as long as `p` is used.
void PrepareLine(const LineRules& rules, std::string_view line, PreparedLine& p);

// The same for a record that another parser (a configured log format) has
// filled already: keys and decisions only.
void PrepareParsedLine(const LineRules& rules, PreparedLine& p);

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

  // Counts `p` in its fixed order and writes its console lines. A line whose
  // user follows by its block (not kCompare) may leave the previous user as
  // a view into it: KeepPreviousUser must copy it before the line goes.
  void Route(PreparedLine& p);
  void KeepPreviousUser();

  const Tallies& tallies() const { return tallies_; }

 private:
  void Count() { ++counters_.processedCount; }
  // Counts a line the parser gave up on, for the operator's summary.
  void Reject(LineFault fault, std::string_view line);

  Tallies& tallies_;
  RunCounters& counters_;
  Console& console_;
  std::string_view pendingUser_;  // the last user, not yet in previousUser
  bool userPending_ = false;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LINE_ROUTER_H_
