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
#include <shared_mutex>
#include <string_view>

#include <future>

#include "agents/agent_classifier.h"
#include "config/run_settings.h"
#include "intake/agent_counts.h"
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
  kAiPage,  // the page an AI crawler asked for (AGENTS)
};
inline constexpr size_t kFeedCount = 9;

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
  bool robotsPage;   // marks its user as a robot (ROBOTS=RPT, /robots...)
  bool countsCode;   // its response code goes to the code counters
  bool countsAgent;  // its classified user agent is counted (AGENTS)
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
  // With distinct counts (LineRules::distinct): hashes of the client, and
  // of the client with its user agent (a visitor); set with the user feed.
  uint64_t clientHash;
  uint64_t visitorHash;
  uint64_t micros;  // the time taken, when plan.timeTaken is kValue
  LogRecord record;
  char hourBuffer[24];
  // The classification of record.userAgent (AGENTS), or nullptr: a cached
  // entry of the preparing thread, or agentScratch once its cache is full.
  const AgentInfo* agent;
  bool sameAgent;  // the line before in the block had the same agent
  uint64_t agentHash;
  std::string_view agentOperator;
  AgentInfo agentScratch;  // written only for agents the cache has no room for

  bool Feeds(Feed f) const { return (plan.feeds & FeedBit(f)) != 0; }
};

// What preparing a line reads: the parser's part of the settings, and the
// settings themselves for the exclusions, robots and the hour offset.
// The rules that classify user agents, once loaded: nullptr when the run
// classifies none (AGENTS not given, or its files could not be used). They
// may still be loading while the first lines are read; each thread waits for
// them when its first agent comes.
using PendingAgentRules = std::shared_future<const AgentRules*>;

struct LineRules {
  // `timesOn`: the log's format has a time-taken field.
  explicit LineRules(const RunSettings& settings, PendingAgentRules agents = {},
                     bool timesOn = false);
  const RunSettings& settings;
  LineFormat format;
  bool robotsOn;
  PendingAgentRules agents;  // not valid: agents are not classified
  bool distinct;             // the report shows distinct counts: hash the clients
  bool timesOn;
  bool rangeOn;  // FROM or UNTIL is set
};

// Keeps reading threads out of a table's index for the moment its counting
// thread begins to evict there (a summary table that ran full): they hold
// it shared while they look slots up (ResolveBlock), and the counting
// thread takes it alone once per table, after closing the table to them,
// so that no lookup begun before is still running when keys move.
struct LookupGate {
  std::shared_mutex lookups;
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
  // Classified agents are counted in `agents` (AGENTS), when given.
  LineRouter(Tallies& tallies, RunCounters& counters, Console& console,
             AgentCounts* agents = nullptr);

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

  // The gate of the reading threads that look slots up while this router
  // counts, or none when no other thread does.
  void SetLookupGate(LookupGate* gate) { gate_ = gate; }

 private:
  void NoteLine();
  // Before a summary table's first eviction: closes it to other threads'
  // lookups and waits for those under way.
  template <typename Table>
  void CloseForEviction(Table& table, size_t feed);
  // After a key took another's slot: the first time, says so.
  template <typename Table>
  void NoteEviction(Table& table, size_t feed);
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
  AgentCounts* agents_ = nullptr;
  std::string_view pendingUser_;  // the last user, not yet in previousUser
  bool userPending_ = false;
  LookupGate* gate_ = nullptr;
  uint16_t toClose_ = 0;    // feeds of summary tables not yet closed to lookups
  bool summaries_ = false;  // some table counts in summary mode
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LINE_ROUTER_H_
