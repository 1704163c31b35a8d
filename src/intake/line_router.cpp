#include "intake/line_router.h"

#include "intake/line_faults.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace logvane {

namespace {

static_assert(kLineFaultCount == kLineFaultKinds, "one rejection counter per line fault");

// The table each feed counts in (const or not, as the tallies are).
template <Feed F, typename T>
auto& TableOf(T& t) {
  if constexpr (F == Feed::kUser) return t.users;
  if constexpr (F == Feed::kDate) return t.dates;
  if constexpr (F == Feed::kHour) return t.hours;
  if constexpr (F == Feed::kPage) return t.pages;
  if constexpr (F == Feed::kDirectory) return t.directories;
  if constexpr (F == Feed::kNotFound) return t.notFound;
  if constexpr (F == Feed::kExtra1) return t.extra1;
  if constexpr (F == Feed::kExtra2) return t.extra2;
  if constexpr (F == Feed::kAiPage) return t.agents.aiPages;
}

// The console line written each time a new key finds a feed's table full.
constexpr std::string_view kMoreThan = "*ERROR* More than ";
constexpr ConstText kDatesFull = NumberedText(kMoreThan, kDateCapacity, " dates.");
constexpr ConstText kPagesFull = NumberedText(kMoreThan, kPageCapacity, " unique pages");
constexpr ConstText kDirectoriesFull =
    NumberedText(kMoreThan, kDirectoryCapacity, " unique directories");
constexpr ConstText kExtra1Full =
    NumberedText(kMoreThan, kExtra1Capacity, " unique extra(1) entries.");
constexpr ConstText kExtra2Full =
    NumberedText(kMoreThan, kExtra2Capacity, " unique extra(2) entries.");
constexpr ConstText kAiPagesFull =
    NumberedText(kMoreThan, kAiPageCapacity, " unique pages of AI crawlers.");
constexpr std::string_view kFullMessages[kFeedCount] = {
    "*ERROR* too many users - ask for upgrade.",
    kDatesFull.view(),
    "*ERROR* More than 24 hours !?!",
    kPagesFull.view(),
    kDirectoriesFull.view(),
    "*ERROR* Too many NOT FOUND pages, ask for free upgrade.",
    kExtra1Full.view(),
    kExtra2Full.view(),
    kAiPagesFull.view(),
};

// Feeds whose tables are large enough that their memory is seldom in the
// cache: the memory is asked for them ahead of counting.
constexpr uint16_t kPrefetchedFeeds =
    FeedBit(Feed::kUser) | FeedBit(Feed::kPage) | FeedBit(Feed::kExtra1);
// Feeds whose key often stays the same for a run of lines (a day, an hour):
// a reading thread looks such a key up once for the run.
constexpr uint16_t kRunFeeds = FeedBit(Feed::kDate) | FeedBit(Feed::kHour);

// Calls fn(table, index) for each feed in `feeds`, in feed order.
template <typename T, typename Fn, size_t... I>
void ForFeedsIn(std::index_sequence<I...>, uint16_t feeds, T& tallies, Fn&& fn) {
  ((feeds & (1u << I) ? fn(TableOf<static_cast<Feed>(I)>(tallies), I) : void()), ...);
}

template <typename T, typename Fn>
void ForFeeds(uint16_t feeds, T& tallies, Fn&& fn) {
  ForFeedsIn(std::make_index_sequence<kFeedCount>(), feeds, tallies, fn);
}

// The console text of a milestone count, or nothing.
std::string_view MilestoneText(int64_t count) {
  switch (count) {
    case 1000: return "1000 records";
    case 5000: return "5,000 records";
    case 10000: return "10,000 records";
    case 25000: return "25,000 records";
    case 50000: return "50,000 records";
    case 100000: return "100,000 records";
    case 250000: return "250,000 records";
    case 500000: return "500,000 records";
    case 750000: return "750,000 records";
    case 1000000: return "1,000,000 records";
    default: return {};
  }
}

// The lists are usually empty: the test of that is made where the line is
// planned, and the walk only when there is something to walk.
[[gnu::noinline]] bool BeginsWithAnyOf(std::string_view text,
                                       const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes) {
    if (StartsWithFolded(text, prefix)) return true;
  }
  return false;
}

[[gnu::noinline]] bool ContainsAnyOf(std::string_view text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (text.find(part) != std::string_view::npos) return true;
  }
  return false;
}

inline bool BeginsWithAnyFolded(std::string_view text, const std::vector<std::string>& prefixes) {
  return !prefixes.empty() && BeginsWithAnyOf(text, prefixes);
}

inline bool ContainsAny(std::string_view text, const std::vector<std::string>& parts) {
  return !parts.empty() && ContainsAnyOf(text, parts);
}

// The hour key: the line's hour moved by the offset, corrected once by 24.
// The sum is formed in 64 bits so that no offset can overflow it; an offset
// beyond a day leaves a sum outside 0 to 23, which the hour table cuts to
// two characters.
std::string_view ShiftedHourKey(int64_t recordHour, int32_t offset, char* buffer,
                                size_t bufferSize) {
  int64_t hour = recordHour + offset;
  if (hour < 0) {
    hour += 24;
  } else if (hour >= 24) {
    hour -= 24;
  }
  char* end = buffer + bufferSize;
  char* p = end;
  bool negative = hour < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(hour) : static_cast<uint64_t>(hour);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) *--p = '-';
  return std::string_view(p, static_cast<size_t>(end - p));
}

void Add(PreparedLine& p, Feed f, const HashedKey& key) {
  p.plan.feeds |= FeedBit(f);
  p.key[static_cast<size_t>(f)] = key;
}

}  // namespace

LineRules::LineRules(const RunSettings& s, PendingAgentRules pending, bool times)
    : settings(s),
      robotsOn(EqualsFolded(s.robotsMode, "RPT")),
      agents(std::move(pending)),
      distinct(ShowsDistinct(s)),
      timesOn(times),
      rangeOn(DateRangeOn(s)) {
  format.selectOn = s.selectOn;
  format.selectText = s.selectText;
  format.userFromField2 = s.userFromField2;
  format.proxyMode = s.proxyMode;
  format.fullPageDetails = s.fullPageDetails;
  format.readClock = rangeOn;
}

// The one chain of a line: the bracket, SELECT, the client and its
// exclusion, the day, the hour, the page and its exclusion, the directory,
// the response code and the extras. Each fault ends the chain where it
// stands; what the line reached before stays planned.
namespace {

// The range and the time taken: false when FROM/UNTIL skip the record.
// The range comes before every other rule; a record whose clock cannot be
// read is not placed, and goes on to them.
bool PlanRangeAndTime(const LineRules& rules, PreparedLine& p) {
  const LogRecord& r = p.record;
  if (rules.rangeOn && r.hasClock) {
    if (!InDateRange(rules.settings.dateRange, r.clock)) {
      p.plan.end = LineEnd::kOutOfRange;
      return false;
    }
    p.plan.inRange = true;
  }
  if (rules.timesOn) {
    p.plan.timeTaken = r.timeTaken;
    p.micros = r.timeTakenMicros;
  }
  return true;
}

// The client: its exclusion (false when that drops the line), its user's
// key, and the hashes that count distinct clients and visitors.
bool PlanClient(const LineRules& rules, PreparedLine& p) {
  const LogRecord& r = p.record;
  if (!r.hasClientAddress) return true;
  if (BeginsWithAnyFolded(r.clientAddress, rules.settings.excludedAddresses)) {
    p.plan.end = LineEnd::kDropped;
    return false;
  }
  Add(p, Feed::kUser, HashKey(r.userName));
  if (rules.distinct) {
    // A visitor is a client with one user agent (the second extra field,
    // the user agent of a combined log).
    p.clientHash = FoldedHash(r.clientAddress);
    p.visitorHash =
        CombineHashes(p.clientHash, FoldedHash(r.hasExtra2 ? r.extra2 : std::string_view()));
  }
  return true;
}

void PlanChain(const LineRules& rules, PreparedLine& p) {
  const RunSettings& s = rules.settings;
  const LogRecord& r = p.record;
  LinePlan& plan = p.plan;
  plan = LinePlan{0,
                  LineEnd::kCountedEarly,
                  LineFault::kNone,
                  UserTurn::kCompare,
                  false,
                  false,
                  false,
                  TimeTaken::kNoField,
                  false,
                  0};
  std::fill(std::begin(p.slot), std::end(p.slot), -1);
  if (r.bracketFault != LineFault::kNone) {
    plan.fault = r.bracketFault;
    return;
  }
  if (!PlanRangeAndTime(rules, p) || !r.selected) return;
  if (!PlanClient(rules, p)) return;
  Add(p, Feed::kDate, HashKey(r.dateText.view(), kDateKeyWidth));
  plan.end = LineEnd::kStopped;
  if (r.hourFault != LineFault::kNone) {
    plan.fault = r.hourFault;
    return;
  }
  const int64_t recordHour = LeadingInteger(r.hourText);
  plan.hour = static_cast<uint8_t>(recordHour < 0 ? 0 : recordHour > 99 ? 99 : recordHour);
  std::string_view hour =
      ShiftedHourKey(recordHour, s.hourOffset, p.hourBuffer, sizeof(p.hourBuffer));
  Add(p, Feed::kHour, HashKey(hour, kHourKeyWidth));
  if (r.pageFault != LineFault::kNone) {
    plan.fault = r.pageFault;
    return;
  }
  const HashedKey page = HashKey(r.page.view());
  if (!ContainsAny(page.text, s.excludedTypes)) Add(p, Feed::kPage, page);
  plan.robotsPage = rules.robotsOn && StartsWithFolded(page.text, "/robots");
  Add(p, Feed::kDirectory, HashKey(r.directory));
  plan.end = LineEnd::kCounted;
  if (r.statusCode == 0) return;
  plan.countsCode = true;
  if (r.statusCode == 404) Add(p, Feed::kNotFound, page);
  if (r.hasExtra1 && !ContainsAny(r.extra1, s.excludedExtra1)) {
    Add(p, Feed::kExtra1, HashKey(r.extra1));
  }
  if (r.hasExtra2 && !ContainsAny(r.extra2, s.excludedExtra2)) {
    Add(p, Feed::kExtra2, HashKey(r.extra2));
  }
}

// A counted line's agent, its AI page, and under EXCLUDE_BOTS a bot's line
// kept out of every other table.
void PlanAgent(const LineRules& rules, PreparedLine& p) {
  LinePlan& plan = p.plan;
  if (p.agent == nullptr) return;
  const AgentClass c = p.agent->agentClass;
  if (plan.end == LineEnd::kCounted) {
    plan.countsAgent = true;
    if (IsAi(c) && p.Feeds(Feed::kPage))
      Add(p, Feed::kAiPage, p.key[static_cast<size_t>(Feed::kPage)]);
  }
  if (IsBot(c) && rules.settings.excludeBots) {
    plan.feeds &= FeedBit(Feed::kAiPage);
    plan.robotsPage = false;
    plan.countsCode = false;
  }
}

}  // namespace

// Flattened: the steps and the hashing of the keys are inlined into the
// one call each line makes.
[[gnu::flatten]] void PlanLine(const LineRules& rules, PreparedLine& p) {
  PlanChain(rules, p);
  PlanAgent(rules, p);
}

namespace {

// The slot of the key looked up last, for a run of lines with one key (a
// day, an hour): a key written exactly alike is the same key.
struct LastLookup {
  std::string_view key;
  int32_t slot = -1;

  template <typename Table>
  int32_t SlotOf(const Table& t, const HashedKey& k) {
    if (slot >= 0 && k.text == key) return slot;
    key = k.text;
    slot = SharedSlotOf(t, k);
    return slot;
  }
};

// Asks the memory for what a shared search of a line's keys reads: their
// buckets, or, once those have had time to arrive, the keys of the slots
// they name.
void AskForKeys(const Tallies& t, const PreparedLine& p, bool keyStage) {
  ForFeeds(p.plan.feeds & kPrefetchedFeeds, t, [&](const auto& table, size_t f) {
    const HashedKey& key = p.key[f];
    if (!keyStage) {
      table.index.Prefetch(key.hash);
      return;
    }
    int64_t slot = table.index.LikelySlot(key.hash);
    if (slot >= 0) __builtin_prefetch(&table.indexKeys[slot]);
  });
}

}  // namespace

void ResolveBlock(const Tallies& t, PreparedLine* lines, size_t count) {
  // How far ahead the memory is asked for buckets, then for keys.
  constexpr size_t kBucketsAhead = 8;
  constexpr size_t kKeysAhead = 4;
  for (size_t i = 0; i < count && i < kBucketsAhead; ++i) AskForKeys(t, lines[i], false);
  // The user of the line before, within this block.
  std::string_view previous;
  bool hasPrevious = false;
  LastLookup runs[kFeedCount];
  for (size_t i = 0; i < count; ++i) {
    if (i + kBucketsAhead < count) AskForKeys(t, lines[i + kBucketsAhead], false);
    if (i + kKeysAhead < count) AskForKeys(t, lines[i + kKeysAhead], true);
    PreparedLine& p = lines[i];
    ForFeeds(p.plan.feeds, t, [&](const auto& table, size_t f) {
      p.slot[f] = (kRunFeeds & (1u << f)) != 0 ? runs[f].SlotOf(table, p.key[f])
                                               : SharedSlotOf(table, p.key[f]);
    });
    if (!p.Feeds(Feed::kUser)) continue;
    std::string_view user = p.record.userName;
    if (hasPrevious) {
      p.plan.userTurn = previous.substr(0, user.size()) == user ? UserTurn::kSame : UserTurn::kNew;
    }
    previous = user;
    hasPrevious = true;
  }
}

LineRouter::LineRouter(Tallies& tallies, RunCounters& counters, Console& console,
                       AgentCounts* agents)
    : tallies_(tallies), counters_(counters), console_(console), agents_(agents) {
  ForFeeds(0xffff, tallies_, [&](auto& table, size_t f) {
    if (table.summary.on) toClose_ |= static_cast<uint16_t>(1u << f);
    if (table.summary.on) summaries_ = true;
  });
}

// The names the console and the diagnostics give the tables.
constexpr std::string_view kTableNames[kFeedCount] = {
    "user", "date", "hour", "page", "directory", "not-found page", "Extra 1", "Extra 2", "AI page",
};

template <typename Table>
void LineRouter::CloseForEviction(Table& table, size_t feed) {
  CloseSummary(table.summary);
  // Once this lock is had, every lookup is either done or began after the
  // close and so leaves the table alone.
  if (gate_ != nullptr) {
    gate_->lookups.lock();
    gate_->lookups.unlock();
  }
  toClose_ &= static_cast<uint16_t>(~(1u << feed));
}

template <typename Table>
void LineRouter::NoteEviction(Table& table, size_t feed) {
  if (table.summary.evictions != 1) return;
  table.summary.firstRecord = counters_.rejected.lineNumber;
  console_.Write("*NOTE* the ");
  console_.Write(kTableNames[feed]);
  console_.Write(" table is full (");
  console_.WriteNumber(static_cast<int64_t>(Table::kCapacity));
  console_.Write(" keys): from record ");
  console_.WriteNumber(counters_.rejected.lineNumber);
  console_.Line(" on, a new key takes the slot of the fewest hits.");
}

void LineRouter::PrefetchBuckets(const PreparedLine& p) const {
  ForFeeds(p.plan.feeds & kPrefetchedFeeds, tallies_, [&](const auto& table, size_t f) {
    if (p.slot[f] < 0) PrefetchBucket(table, p.key[f]);
  });
}

void LineRouter::PrefetchEntries(const PreparedLine& p) const {
  ForFeeds(p.plan.feeds & kPrefetchedFeeds, tallies_, [&](const auto& table, size_t f) {
    if (p.slot[f] >= 0) {
      __builtin_prefetch(&table.slots[p.slot[f]], 1);
    } else {
      PrefetchEntry(table, p.key[f]);
    }
  });
  // A page's response times, where its slot is known: their first line
  // says where in them the time goes.
  constexpr size_t kPage = static_cast<size_t>(Feed::kPage);
  const PageLatencySketch* pages = tallies_.times.pages.get();
  if (p.plan.timeTaken == TimeTaken::kValue && pages != nullptr && p.slot[kPage] >= 0) {
    __builtin_prefetch(&pages[p.slot[kPage]], 1);
  }
}

void LineRouter::KeepPreviousUser() {
  if (!userPending_) return;
  counters_.previousUser.assign(pendingUser_);
  userPending_ = false;
}

void LineRouter::Reject(LineFault fault, std::string_view line) {
  RejectedLines& rejected = counters_.rejected;
  size_t kind = static_cast<size_t>(fault);
  if (rejected.count[kind]++ == 0) rejected.firstLine[kind] = rejected.lineNumber;
  if (rejected.sampleLine == 0) {
    rejected.sampleLine = rejected.lineNumber;
    rejected.sample.assign(line);
  }
  ReportLineFault(fault, line, console_);
  if (fault == LineFault::kNoMatch && counters_.unmatchedLines++ == 0) {
    counters_.firstUnmatched.assign(line);
  }
}

void LineRouter::NoteLine() {
  RejectedLines& rejected = counters_.rejected;
  rejected.lineNumber = ++rejected.records;
}

void LineRouter::CountUser(PreparedLine& p) {
  constexpr size_t kUser = static_cast<size_t>(Feed::kUser);
  const LogRecord& r = p.record;
  UserTable& users = tallies_.users;
  if (!counters_.hasFirstUser) {
    counters_.hasFirstUser = true;
    counters_.firstUser.assign(r.userName);
  }
  if ((toClose_ & FeedBit(Feed::kUser)) != 0 && users.used == UserTable::kCapacity) {
    CloseForEviction(users, kUser);
  }
  int64_t slot = CountKey(users, p.key[kUser], p.slot[kUser], r.byteCount,
                          [&](size_t) { NoteEviction(users, kUser); });
  if (slot == kTableFull) {
    console_.Line(kFullMessages[kUser]);
  } else if (p.plan.robotsPage) {
    users.slots[slot].isRobot = 1;
  }
  // A new user begins a new page request; a name that is the start of the
  // previous one counts as the same user.
  if (p.plan.userTurn == UserTurn::kCompare) {
    KeepPreviousUser();
    std::string_view previous = counters_.previousUser.view();
    if (previous.substr(0, r.userName.size()) != r.userName) ++counters_.pagesRequested;
    counters_.previousUser.assign(r.userName);
    return;
  }
  if (p.plan.userTurn == UserTurn::kNew) ++counters_.pagesRequested;
  pendingUser_ = r.userName;
  userPending_ = true;
}

inline void LineRouter::CountTimeTaken(const PreparedLine& p, int64_t hourSlot, int64_t pageSlot) {
  // A time counts where its line reached the hour, as its hits do.
  if (hourSlot < 0) return;
  ResponseTimes& times = tallies_.times;
  if (p.plan.timeTaken == TimeTaken::kNoValue) {
    if (times.noValue++ == 0) times.firstNoValue = counters_.rejected.lineNumber;
    return;
  }
  AddLatency(times.hours[hourSlot], p.micros);  // the log's is their sum
  if (pageSlot >= 0) AddPageLatency(PageSketches(times)[pageSlot], p.micros);
}

void LineRouter::NoteKeptTime(const RecordTime& clock) {
  const int64_t at = InstantOf(clock);
  if (counters_.keptClocks++ == 0) {
    counters_.earliestKept = counters_.latestKept = clock;
    return;
  }
  if (at < InstantOf(counters_.earliestKept)) counters_.earliestKept = clock;
  if (at > InstantOf(counters_.latestKept)) counters_.latestKept = clock;
}

void LineRouter::CountFeeds(PreparedLine& p) {
  const uint16_t others = p.plan.feeds & ~FeedBit(Feed::kUser);
  const int64_t bytes = p.record.byteCount;
  // Byte sums are doubles: past 2^53 (or below 0) they are no longer exact.
  constexpr int64_t kExactBytes = int64_t{1} << 53;
  if ((bytes < 0 || bytes > kExactBytes) && p.plan.feeds != 0 && counters_.oddByteCounts++ == 0) {
    counters_.firstOddByteCount = counters_.rejected.lineNumber;
  }
  int64_t daySlot = kTableFull;
  int64_t hourSlot = kTableFull;
  int64_t pageSlot = kTableFull;
  auto countAll = [&](auto summaries) {
    constexpr bool kSummaries = decltype(summaries)::value;
    ForFeeds(others, tallies_, [&](auto& table, size_t f) {
      using Table = std::remove_reference_t<decltype(table)>;
      if (kSummaries && (toClose_ & (1u << f)) != 0 && table.used == Table::kCapacity) {
        CloseForEviction(table, f);
      }
      int64_t slot = CountKey<kSummaries>(table, p.key[f], p.slot[f], bytes, [&](size_t replaced) {
        NoteEviction(table, f);
        // The page that takes the slot starts a response-time sketch of its own.
        if (f == static_cast<size_t>(Feed::kPage) && tallies_.times.pages) {
          tallies_.times.pages[replaced] = PageLatencySketch{};
        }
      });
      if (slot == kTableFull) console_.Line(kFullMessages[f]);
      if (f == static_cast<size_t>(Feed::kDate)) daySlot = slot;
      if (f == static_cast<size_t>(Feed::kHour)) hourSlot = slot;
      if (f == static_cast<size_t>(Feed::kPage)) pageSlot = slot;
    });
  };
  if (summaries_) {
    countAll(std::true_type{});
  } else {
    countAll(std::false_type{});
  }
  // Distinct counts go with the day, for lines of a client.
  DistinctTallies* distinct = tallies_.distinct.get();
  if (distinct != nullptr && daySlot != kTableFull && p.Feeds(Feed::kUser)) {
    CountDistinct(*distinct, static_cast<size_t>(daySlot), p.clientHash, p.visitorHash);
  }
  // The span of the records' own days and hours, which a state keeps.
  if (daySlot != kTableFull && p.Feeds(Feed::kHour)) {
    int64_t time = int64_t{tallies_.dates.slots[daySlot].dateNumber} * 100 + p.plan.hour;
    if (counters_.firstTime == 0 || time < counters_.firstTime) counters_.firstTime = time;
    if (time > counters_.lastTime) counters_.lastTime = time;
  }
  if (p.plan.timeTaken != TimeTaken::kNoField) CountTimeTaken(p, hourSlot, pageSlot);
  if (p.plan.countsCode) CountResponseCode(tallies_.codes, p.record.statusCode);
  if (p.Feeds(Feed::kExtra1)) counters_.hasExtra1 = true;
  if (p.Feeds(Feed::kExtra2)) counters_.hasExtra2 = true;
  if (p.plan.countsAgent && agents_ != nullptr) {
    agents_->Count(p.record.userAgent, p.agentHash, *p.agent, p.agentOperator, bytes,
                   counters_.rejected.lineNumber, p.sameAgent, tallies_.agents);
  }
}

void LineRouter::Route(PreparedLine& p) {
  NoteLine();
  const LinePlan& plan = p.plan;
  if (plan.end == LineEnd::kDropped) return;
  if (plan.end == LineEnd::kOutOfRange) {
    ++counters_.outOfRange;
    return;
  }
  if (plan.inRange) NoteKeptTime(p.record.clock);
  if (p.Feeds(Feed::kUser)) CountUser(p);
  CountFeeds(p);
  if (plan.fault != LineFault::kNone) Reject(plan.fault, p.record.line);
  if (plan.end == LineEnd::kStopped) return;
  ++counters_.processedCount;
  if (plan.end != LineEnd::kCounted) return;
  std::string_view milestone = MilestoneText(counters_.processedCount);
  if (!milestone.empty()) console_.Line(milestone);
}

}  // namespace logvane
