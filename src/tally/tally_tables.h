// The fixed-capacity tables that the reading phase counts into. Slots fill
// in first-seen order from the first; a key keeps the case it was first seen
// in, and keys that differ only in the case of A-Z are one entry. Counts are
// 64-bit so that no log is long enough to wrap them.
#ifndef LOGVANE_TALLY_TALLY_TABLES_H_
#define LOGVANE_TALLY_TALLY_TABLES_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/ascii_text.h"
#include "platform/console.h"
#include "tally/distinct_tallies.h"
#include "tally/key_index.h"
#include "tally/table_summary.h"
#include "tally/response_times.h"

namespace logvane {

inline constexpr size_t kKeyWidth = 100;
inline constexpr size_t kDateKeyWidth = 11;
inline constexpr size_t kHourKeyWidth = 2;

inline constexpr size_t kUserCapacity = 50000;
inline constexpr size_t kDateCapacity = 500;
inline constexpr size_t kHourCapacity = 25;
inline constexpr size_t kPageCapacity = 50000;
inline constexpr size_t kDirectoryCapacity = 1000;
inline constexpr size_t kNotFoundCapacity = 10000;
inline constexpr size_t kExtra1Capacity = 3000;
inline constexpr size_t kExtra2Capacity = 2000;
inline constexpr size_t kNationCapacity = 400;
// The user-agent tables (AGENTS): families of browsers and systems,
// crawlers by name, and the pages AI crawlers ask for.
inline constexpr size_t kBrowserCapacity = 1000;
inline constexpr size_t kSystemCapacity = 500;
inline constexpr size_t kBotCapacity = 2000;
inline constexpr size_t kAiPageCapacity = 10000;
// Who sent a line, by the classes of agents/agent_class.h (human, search,
// AI training, AI assistant, AI agent, SEO, other bot).
inline constexpr size_t kVisitorClasses = 7;
inline constexpr size_t kOperatorWidth = 64;
static_assert(kDistinctDays == kDateCapacity);

// What a record changes comes first, in one cache line with the start of
// the key.
struct UserEntry {
  int64_t hits;
  double byteSum;
  int32_t isRobot;
  FixedText<kKeyWidth> key;
};

struct DateEntry {
  int32_t dateNumber;  // yyyymmdd
  int64_t hits;
  FixedText<kDateKeyWidth> key;
  double byteSum;
};

struct HourEntry {
  int32_t hourNumber;
  int64_t hits;
  double byteSum;
  FixedText<kHourKeyWidth> key;
};

struct KeyCountEntry {
  int64_t hits;
  FixedText<kKeyWidth> key;
};

// A family of agents (a browser, a system). Agents are counted one entry
// per distinct agent while reading and added to their families at the end,
// so an entry keeps the number of the first line that counted in it: the
// ranking breaks ties by it, as first-seen order does in the other tables.
struct AgentFamilyEntry {
  int64_t hits;
  double byteSum;
  int64_t firstLine;
  FixedText<kKeyWidth> key;
};

// A crawler or other bot by name, with its class and operator.
struct BotEntry {
  int64_t hits;
  double byteSum;
  int64_t firstLine;
  uint8_t visitorClass;
  FixedText<kKeyWidth> key;
  FixedText<kOperatorWidth> operatorName;
};

// A table of slots with its index. `used` is the number of slots in use;
// they are slots 0 to used-1, before and after sorting. The index (and the
// shortcut `recent`) name slots by number and so serve the reading phase
// alone: nothing is tallied once the tables are sorted.
//
// `indexKeys` holds the keys again, written once when a slot is taken, for
// other threads to search the index with (SharedSlotOf) while the counting
// thread writes the slots: they never share a cache line with the counters
// being written. The counting thread compares with the slots' own keys,
// beside the counters it is about to write.
template <typename Entry, size_t Capacity>
struct TallyTable {
  static constexpr size_t kCapacity = Capacity;
  Entry slots[Capacity];
  size_t used;
  size_t recent;    // slot plus one of the key counted last, 0 for none
  int64_t dropped;  // records whose new key found the table full
  bool ranFull;     // a new key found it full; set once, never cleared
  KeyIndex<Capacity> index;
  decltype(Entry::key) indexKeys[Capacity];
  TableSummary<Capacity> summary;  // off unless TABLES=SUMMARY
};

using UserTable = TallyTable<UserEntry, kUserCapacity>;
using DateTable = TallyTable<DateEntry, kDateCapacity>;
using HourTable = TallyTable<HourEntry, kHourCapacity>;
using PageTable = TallyTable<KeyCountEntry, kPageCapacity>;
using DirectoryTable = TallyTable<KeyCountEntry, kDirectoryCapacity>;
using NotFoundTable = TallyTable<KeyCountEntry, kNotFoundCapacity>;
using Extra1Table = TallyTable<KeyCountEntry, kExtra1Capacity>;
using Extra2Table = TallyTable<KeyCountEntry, kExtra2Capacity>;
using BrowserTable = TallyTable<AgentFamilyEntry, kBrowserCapacity>;
using SystemTable = TallyTable<AgentFamilyEntry, kSystemCapacity>;
using BotTable = TallyTable<BotEntry, kBotCapacity>;
using AiPageTable = TallyTable<KeyCountEntry, kAiPageCapacity>;

// Response codes with a counter of their own, in report order after the
// counter of other codes (index 0).
inline constexpr int kCountedCodes[] = {200, 201, 202, 301, 302, 304, 400,
                                        401, 403, 404, 500, 501, 502, 503};
inline constexpr size_t kResponseCounterCount = 15;

struct ResponseCodeCounters {
  int64_t counts[kResponseCounterCount];  // [0] other codes, then kCountedCodes
};

// Counter index of a non-zero code: 0 for codes without their own counter.
size_t ResponseCounterIndex(int32_t code);
// The code a counter stands for: 0 for the counter of every other code.
inline int32_t CodeOfCounter(size_t index) { return index == 0 ? 0 : kCountedCodes[index - 1]; }
void CountResponseCode(ResponseCodeCounters& counters, int32_t code);
int64_t ResponseCount(const ResponseCodeCounters& counters, int32_t code);

struct WeekdayEntry {
  int64_t hits;
  int32_t dayCount;
  double byteSum;
};

// Averages per weekday once derived (see AverageWeekdays).
struct WeekdayTable {
  WeekdayEntry days[8];  // 0 Sunday to 6 Saturday; the eighth is never filled
  int64_t largestSum;    // the largest weekday's hits before averaging
};

struct NationEntry {
  int64_t hits;
  FixedText<kKeyWidth> name;
};

struct NationTally {
  NationEntry entries[kNationCapacity];
  size_t used;
  float total;  // hits over all classified users
};

// What the user agents tell (AGENTS): lines with an agent by class, and
// the family, crawler and AI page tables.
struct AgentTallies {
  BrowserTable browsers;
  SystemTable systems;
  BotTable bots;
  AiPageTable aiPages;
  int64_t classHits[kVisitorClasses];
  double classBytes[kVisitorClasses];
};

struct Tallies {
  UserTable users;
  DateTable dates;
  HourTable hours;
  PageTable pages;
  DirectoryTable directories;
  NotFoundTable notFound;
  Extra1Table extra1;
  Extra2Table extra2;
  ResponseCodeCounters codes;
  WeekdayTable weekdays;
  NationTally nations;
  AgentTallies agents;
  DistinctTalliesPtr distinct;  // only when a report shows distinct counts
  ResponseTimes times;
};
static_assert(kTimedHourSlots == kHourCapacity && kTimedPageSlots == kPageCapacity);

// Empties every table and forgets the last key of each; the response
// counters and the tables' ranFull marks are left as they are.
void ClearTallies(Tallies& tallies);

// How the reading phase counts: whether the ranked tables (users, pages,
// directories, not-found pages, extras) evict their lightest key for a new
// one once full (the dates and hours never do: a day or an hour cannot
// stand for another), and whether distinct counts are kept (set aside
// here, once). For tallies just emptied.
void SetCountingModes(Tallies& tallies, bool summaryTables, bool distinctCounts);

// A key cut to its table's key width with its folded hash. The reading
// phase makes it once per record, asks the memory for the key's bucket and
// entry ahead of counting, and counts with it without hashing again.
struct HashedKey {
  std::string_view text;
  uint64_t hash;
};

inline HashedKey HashKey(std::string_view text, size_t width = kKeyWidth) {
  text = text.substr(0, width);
  return HashedKey{text, FoldedHash(text)};
}

// Hints for the memory; neither changes a table. The entry hint reads the
// bucket, so it pays best once the bucket hint has had time to arrive.
template <typename Table>
void PrefetchBucket(const Table& table, const HashedKey& key) {
  table.index.Prefetch(key.hash);
}

template <typename Table>
void PrefetchEntry(const Table& table, const HashedKey& key) {
  int64_t slot = table.index.LikelySlot(key.hash);
  if (slot < 0) return;
  // The entry's counter and the start of its key, and the rest of a key
  // too long for the entry's first cache line.
  const char* entry = reinterpret_cast<const char*>(&table.slots[slot]);
  __builtin_prefetch(entry);
  if (key.text.size() > 40) __builtin_prefetch(entry + 64);
}

// The slot of `key` in `table` for a thread other than the one counting,
// which may be adding keys meanwhile: -1 when the key is not there, or not
// yet to be seen. A slot found is the key's for good, so counting there
// is what CountKey would have done.
//
// Once the table has begun to evict (summary.closed), a slot may change
// keys, so nothing is looked up there any more: the counting thread
// searches itself.
template <typename Table>
int32_t SharedSlotOf(const Table& table, const HashedKey& key) {
  if (SummaryClosed(table.summary)) return -1;
  auto keyOf = [&table](size_t s) { return table.indexKeys[s].view(); };
  return static_cast<int32_t>(table.index.FindShared(key.text, key.hash, keyOf));
}

// yyyymmdd of a dd/Mon/yyyy text; a month name that is none of the twelve
// gives a month of 0.
int32_t DateNumberOf(std::string_view dateText);

// What a record adds to an entry, and what a new entry starts from.
inline void AddRecord(KeyCountEntry& e, int64_t) { ++e.hits; }
inline void AddRecord(UserEntry& e, int64_t bytes) {
  ++e.hits;
  e.byteSum += static_cast<double>(bytes);
}
inline void AddRecord(DateEntry& e, int64_t bytes) {
  ++e.hits;
  e.byteSum += static_cast<double>(bytes);
}
inline void AddRecord(HourEntry& e, int64_t bytes) {
  ++e.hits;
  e.byteSum += static_cast<double>(bytes);
}
inline void AddRecord(AgentFamilyEntry& e, int64_t bytes) {
  ++e.hits;
  e.byteSum += static_cast<double>(bytes);
}
inline void AddRecord(BotEntry& e, int64_t bytes) {
  ++e.hits;
  e.byteSum += static_cast<double>(bytes);
}
inline void StartEntry(KeyCountEntry&) {}
inline void StartEntry(AgentFamilyEntry& e) { e.firstLine = 0; }
inline void StartEntry(BotEntry& e) {
  e.firstLine = 0;
  e.visitorClass = 0;
  e.operatorName.clear();
}
inline void StartEntry(UserEntry& e) { e.isRobot = 0; }
inline void StartEntry(DateEntry& e) { e.dateNumber = DateNumberOf(e.key.view()); }
inline void StartEntry(HourEntry& e) { e.hourNumber = LeadingInt32(e.key.view()); }

inline constexpr int64_t kTableFull = -1;

// The slot of `key` (already cut to the table's key width), found or newly
// taken, or kTableFull when the key is new and every slot is in use (then
// only `dropped` and `ranFull` change). A key written exactly as the last
// one counted is that one's entry: runs of one key (a visitor, a day) skip
// the index.
template <typename Table>
int64_t FindOrAddKey(Table& table, const HashedKey& key) {
  if (table.recent != 0) {
    std::string_view last = table.slots[table.recent - 1].key.view();
    if (last.size() == key.text.size() &&
        fold_detail::SameBytes(last.data(), key.text.data(), last.size())) {
      return static_cast<int64_t>(table.recent - 1);
    }
  }
  size_t bucket = 0;
  auto keyOf = [&table](size_t s) { return table.slots[s].key.view(); };
  int64_t slot = table.index.Find(key.text, key.hash, keyOf, &bucket);
  if (slot >= 0) return slot;
  if (table.used == Table::kCapacity) {
    // In summary mode the key is not dropped: CountKey evicts for it.
    if (!table.summary.on) {
      ++table.dropped;
      table.ranFull = true;
    }
    return kTableFull;
  }
  slot = static_cast<int64_t>(table.used++);
  auto& entry = table.slots[slot];
  entry.key.assign(key.text);
  StartEntry(entry);
  table.indexKeys[slot].assign(key.text);
  table.index.Insert(bucket, key.hash, static_cast<size_t>(slot));
  return slot;
}

// What a table that evicts tells its caller: the slot now holds another
// key, so any data kept per slot elsewhere (for that slot) starts afresh.
struct NoSlotData {
  void operator()(size_t) const {}
};

// Hands the slot with the fewest hits to `key`, whose first record of
// `bytes` it counts (summary mode, every slot in use, the key in none):
// the key, its index entry and the slot's fields are replaced, its hits are
// the old count plus one, of which the old count is overcount, and its byte
// sum keeps the old one as byte overcount. Only the counting thread may
// call it, once no other thread looks keys up here (summary.closed).
template <typename Table>
size_t ReplaceLightest(Table& table, const HashedKey& key, int64_t bytes) {
  auto& s = table.summary;
  if (!s.ordered) {
    std::vector<int64_t> hits(Table::kCapacity);
    for (size_t i = 0; i < Table::kCapacity; ++i) {
      hits[i] = table.slots[i].hits;
      s.hashOf[i] = FoldedHash(table.slots[i].key.view());
    }
    OrderSummary(s, hits);
  }
  const size_t slot = SummaryEvict(s.order);
  auto& entry = table.slots[slot];
  const int64_t inherited = SummaryOvercount(s.order, slot);
  auto homeOf = [&s](size_t i) { return decltype(table.index)::HomeOf(s.hashOf[i]); };
  table.index.Erase(s.hashOf[slot], slot, homeOf);
  s.hashOf[slot] = key.hash;
  size_t bucket = 0;
  auto keyOf = [&table](size_t i) { return table.slots[i].key.view(); };
  table.index.Find(key.text, key.hash, keyOf, &bucket);
  entry.key.assign(key.text);
  table.indexKeys[slot].assign(key.text);
  table.index.Insert(bucket, key.hash, slot);
  StartEntry(entry);
  entry.hits = inherited + 1;
  s.overcount[slot] = inherited;
  if constexpr (requires { entry.byteSum; }) {
    s.byteOvercount[slot] = entry.byteSum;
    entry.byteSum += static_cast<double>(bytes);
  }
  ++s.evictions;
  return slot;
}

// Counts a record already added to `slot` in the order of a table that
// evicts. A key new to a table loaded from a merge that cut keys may have
// had up to the bound's hits in the pieces: it starts from there, as
// SummaryTake counts it.
template <typename Table>
void CountInSummary(Table& table, size_t slot, uint64_t hash) {
  auto& s = table.summary;
  if (SummaryCount(s.order, slot) != 0) {
    SummaryIncrement(s.order, slot);
    return;
  }
  s.hashOf[slot] = hash;
  SummaryTake(s.order, slot);
  s.overcount[slot] = s.order.bound;
  table.slots[slot].hits += s.order.bound;
}

// Counts one record of `bytes` for `key`: at `knownSlot` when a reading
// thread found the key there (>= 0), else at the slot FindOrAddKey gives.
// Gives the slot counted, or kTableFull. A table in summary mode that is
// full gives a new key the slot of fewest hits and tells `slotReplaced`.
// `kSummaries` false: no table of the run is in summary mode, which spares
// a line the summary's tests.
template <bool kSummaries = true, typename Table, typename SlotReplaced = NoSlotData>
int64_t CountKey(Table& table, const HashedKey& key, int32_t knownSlot, int64_t bytes,
                 SlotReplaced&& slotReplaced = {}) {
  // A slot found before the table began to evict may hold another key now.
  if (kSummaries && knownSlot >= 0 && table.summary.closed != 0) knownSlot = -1;
  int64_t slot = knownSlot >= 0 ? knownSlot : FindOrAddKey(table, key);
  if (slot == kTableFull) {
    if (!kSummaries || !table.summary.on) return slot;
    slot = static_cast<int64_t>(ReplaceLightest(table, key, bytes));
    table.recent = static_cast<size_t>(slot) + 1;
    slotReplaced(static_cast<size_t>(slot));
    return slot;
  }
  table.recent = static_cast<size_t>(slot) + 1;
  AddRecord(table.slots[slot], bytes);
  if (kSummaries && table.summary.ordered) {
    CountInSummary(table, static_cast<size_t>(slot), key.hash);
  }
  return slot;
}

// Adds an entry's counts from another tally of the same settings (a state
// merged, a log read on its own) under `key`, already cut to the table's
// key width: found or newly taken as CountKey would, so first-seen order
// goes on where the table stands. A new key that finds the table full adds
// its hits to `dropped`. Gives the slot, or kTableFull.
template <typename Table>
int64_t AddCounts(Table& table, const HashedKey& key, int64_t hits, double byteSum) {
  int64_t slot = FindOrAddKey(table, key);
  if (slot == kTableFull) {
    table.dropped += hits - 1;  // FindOrAddKey counted one
    return slot;
  }
  auto& entry = table.slots[slot];
  entry.hits += hits;
  if constexpr (requires { entry.byteSum; }) entry.byteSum += byteSum;
  return slot;
}

// CountKey for a text not hashed yet (cut to the table's key width), at
// no known slot.
template <typename Table>
int64_t CountText(Table& table, std::string_view key, int64_t bytes = 0) {
  using Key = decltype(table.slots[0].key);
  return CountKey(table, HashKey(key, Key::kCapacity), -1, bytes);
}

}  // namespace logvane

#endif  // LOGVANE_TALLY_TALLY_TABLES_H_
