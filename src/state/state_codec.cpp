#include "state/state_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "agents/agent_class.h"

namespace logvane {

namespace {

// Longest texts a state may hold beyond the tables' keys.
constexpr size_t kNameWidth = 4096;
constexpr size_t kSettingWidth = 1 << 16;
constexpr size_t kUnmatchedWidth = 1 << 17;
constexpr uint64_t kMostInputs = uint64_t{1} << 24;
constexpr uint64_t kMostSettings = 1000;
constexpr const char* kEmptySection = "an empty section, which no run writes";

template <typename Entry>
void WriteEntry(PayloadWriter& w, const Entry& e) {
  w.Text(e.key.view());
  w.I64(e.hits);
  if constexpr (requires { e.byteSum; }) w.F64(e.byteSum);
  if constexpr (requires { e.isRobot; }) w.Bool(e.isRobot != 0);
  if constexpr (requires { e.firstLine; }) w.I64(e.firstLine);
  if constexpr (requires { e.visitorClass; }) {
    w.U8(e.visitorClass);
    w.Text(e.operatorName.view());
  }
}

template <typename Table>
void WriteTable(PayloadWriter& w, const Table& table) {
  w.U64(table.used);
  w.I64(table.dropped);
  w.Bool(table.ranFull);
  for (size_t i = 0; i < table.used; ++i) WriteEntry(w, table.slots[i]);
}

template <typename... Tables>
std::string TablePayload(const Tables&... tables) {
  PayloadWriter w;
  (WriteTable(w, tables), ...);
  return w.bytes();
}

std::string AgentClassesPayload(const AgentTallies& agents) {
  PayloadWriter w;
  for (size_t c = 0; c < kVisitorClasses; ++c) {
    w.I64(agents.classHits[c]);
    w.F64(agents.classBytes[c]);
  }
  return w.bytes();
}

// A ranked table's summary: its evictions, the record of the first, its
// bound, and each slot's overcount (and byte overcount) once it evicted.
template <typename Table>
void WriteSummary(PayloadWriter& w, const Table& table) {
  const auto& s = table.summary;
  w.I64(s.evictions);
  w.I64(s.firstRecord);
  w.I64(SummaryBound(s));
  if (!SummaryEvicted(s)) return;
  for (size_t i = 0; i < table.used; ++i) {
    w.I64(s.overcount[i]);
    if constexpr (requires { table.slots[0].byteSum; }) w.F64(s.byteOvercount[i]);
  }
}

std::string SummaryPayload(const Tallies& tallies) {
  PayloadWriter w;
  ForEachRankedTable(tallies, [&](const auto& table, uint32_t) { WriteSummary(w, table); });
  return w.bytes();
}

// A distinct counter: flag registers, then the 16,384 registers, or the
// exact form's hashes ascending (so that equal sets are equal bytes).
void WriteDistinct(PayloadWriter& w, const DistinctCount& c) {
  w.Bool(c.dense != 0);
  if (c.dense != 0) {
    for (uint8_t reg : c.registers) w.U8(reg);
    return;
  }
  std::vector<uint64_t> hashes;
  if (c.hasZero != 0) hashes.push_back(0);
  for (uint64_t h : c.hashes) {
    if (h != 0) hashes.push_back(h);
  }
  std::sort(hashes.begin(), hashes.end());
  w.U64(hashes.size());
  for (uint64_t h : hashes) w.U64(h);
}

// The log's clients, then each day's clients and visitors in the date
// table's slot order.
std::string DistinctPayload(const Tallies& tallies) {
  static const DistinctCount kEmpty{};
  const DistinctTallies* d = tallies.distinct.get();
  PayloadWriter w;
  WriteDistinct(w, d != nullptr ? d->clients : kEmpty);
  w.U64(tallies.dates.used);
  for (size_t i = 0; i < tallies.dates.used; ++i) {
    WriteDistinct(w, d != nullptr ? d->dayClients[d->dayOf[i]] : kEmpty);
    WriteDistinct(w, d != nullptr ? d->dayVisitors[d->dayOf[i]] : kEmpty);
  }
  return w.bytes();
}

std::string SettingsPayload(const StateFacts& facts) {
  PayloadWriter w;
  w.U64(facts.settings.size());
  for (const TallyingSetting& s : facts.settings) {
    w.Text(s.keyword);
    w.Text(s.value);
  }
  return w.bytes();
}

std::string ProvenancePayload(const StateFacts& facts) {
  PayloadWriter w;
  w.U64(facts.inputs.size());
  for (const InputOrigin& in : facts.inputs) {
    w.Text(in.name);
    w.U64(in.bytes);
    w.U64(in.fingerprint.high);
    w.U64(in.fingerprint.low);
    w.I64(in.firstTime);
    w.I64(in.lastTime);
    w.Text(in.source);
  }
  return w.bytes();
}

std::string CountersPayload(const Tallies& tallies, const RunCounters& c) {
  PayloadWriter w;
  w.I64(c.processedCount);
  w.I64(c.pagesRequested);
  w.Bool(c.hasFirstUser);
  w.Text(c.firstUser.view());
  w.Text(c.previousUser.view());
  w.Bool(c.hasExtra1);
  w.Bool(c.hasExtra2);
  w.I64(c.rejected.records);
  for (size_t k = 0; k < kLineFaultKinds; ++k) {
    w.I64(c.rejected.count[k]);
    w.I64(c.rejected.firstLine[k]);
  }
  w.I64(c.rejected.sampleLine);
  w.Text(c.rejected.sample.view());
  w.I64(c.longLines);
  w.I64(c.firstLongLine);
  w.I64(c.oddByteCounts);
  w.I64(c.firstOddByteCount);
  w.I64(c.unmatchedLines);
  w.Text(c.firstUnmatched);
  w.I64(c.firstTime);
  w.I64(c.lastTime);
  for (int64_t count : tallies.codes.counts) w.I64(count);
  return w.bytes();
}

// A count that no run can make negative.
int64_t Counted(PayloadReader& r) {
  int64_t v = r.I64();
  if (v < 0) r.Fail("a negative count (" + std::to_string(v) + ")");
  return v;
}

// What an entry holds beyond its key, hits and bytes, checked as read: the
// first line of a family or crawler (a line of the state's own, and each
// line counts in one entry of a table), a crawler's class and operator.
template <typename Entry>
void ReadEntryExtras(PayloadReader& r, Entry& e, int64_t lines, std::vector<int64_t>& firstLines) {
  if constexpr (requires { e.firstLine; }) {
    e.firstLine = r.I64();
    if (r.ok() && (e.firstLine < 1 || e.firstLine > lines)) {
      r.Fail("a first line (" + std::to_string(e.firstLine) + ") outside the state's " +
             std::to_string(lines) + " lines");
    }
    firstLines.push_back(e.firstLine);
  }
  if constexpr (requires { e.visitorClass; }) {
    e.visitorClass = r.U8();
    if (r.ok() &&
        (e.visitorClass >= kVisitorClasses || !IsBot(static_cast<AgentClass>(e.visitorClass)))) {
      r.Fail("a crawler of class " + std::to_string(e.visitorClass) + ", which is no bot class");
    }
    e.operatorName.assign(r.Text(kOperatorWidth));
  }
}

// A table as TablePayload writes it; `lines` bounds its first lines.
template <typename Table>
void ReadTable(PayloadReader& r, Table& table, int64_t lines = 0) {
  using Entry = std::remove_reference_t<decltype(table.slots[0])>;
  using Key = decltype(Entry::key);
  constexpr size_t kEntryBytes = 4 + 8 + (requires(Entry e) { e.byteSum; } ? 8 : 0) +
                                 (requires(Entry e) { e.isRobot; } ? 1 : 0) +
                                 (requires(Entry e) { e.firstLine; } ? 8 : 0) +
                                 (requires(Entry e) { e.visitorClass; } ? 5 : 0);
  uint64_t count = r.Count(kEntryBytes, Table::kCapacity);
  int64_t dropped = Counted(r);
  bool ranFull = r.Bool();
  std::vector<int64_t> firstLines;
  for (uint64_t i = 0; i < count && r.ok(); ++i) {
    std::string_view key = r.Text(Key::kCapacity);
    int64_t hits = r.I64();
    double byteSum = 0;
    if constexpr (requires(Entry e) { e.byteSum; }) byteSum = r.F64();
    bool robot = false;
    if constexpr (requires(Entry e) { e.isRobot; }) robot = r.Bool();
    if (!r.ok()) return;
    if (hits <= 0) {
      r.Fail("an entry with " + std::to_string(hits) + " hits");
      return;
    }
    size_t before = table.used;
    int64_t slot = FindOrAddKey(table, HashKey(key, Key::kCapacity));
    if (slot < 0 || table.used == before) {
      r.Fail("the key '" + std::string(key.substr(0, 40)) + "' is in its table twice");
      return;
    }
    Entry& e = table.slots[slot];
    e.hits = hits;
    if constexpr (requires { e.byteSum; }) e.byteSum = byteSum;
    if constexpr (requires { e.isRobot; }) e.isRobot = robot ? 1 : 0;
    ReadEntryExtras(r, e, lines, firstLines);
  }
  std::sort(firstLines.begin(), firstLines.end());
  auto twice = std::adjacent_find(firstLines.begin(), firstLines.end());
  if (r.ok() && twice != firstLines.end()) {
    r.Fail("two entries of one table begin at line " + std::to_string(*twice));
  }
  table.dropped = dropped;
  table.ranFull = ranFull;
}

void ReadAgentClasses(PayloadReader& r, AgentTallies& agents) {
  for (size_t c = 0; c < kVisitorClasses; ++c) {
    agents.classHits[c] = Counted(r);
    agents.classBytes[c] = r.F64();
  }
}

template <typename Table>
void ReadSummarySlots(PayloadReader& r, Table& table, int64_t bound) {
  auto& s = table.summary;
  std::vector<int64_t> counts(table.used);
  std::vector<int64_t> overcounts(table.used);
  for (size_t i = 0; i < table.used && r.ok(); ++i) {
    overcounts[i] = Counted(r);
    if constexpr (requires { table.slots[0].byteSum; }) {
      s.byteOvercount[i] = r.F64();
      if (r.ok() && !std::isfinite(s.byteOvercount[i]))
        r.Fail("a byte overcount that is no number");
    }
    if (r.ok() && overcounts[i] > bound) {
      r.Fail("an overcount of " + std::to_string(overcounts[i]) + ", above the bound " +
             std::to_string(bound));
    }
    counts[i] = table.slots[i].hits;
    s.overcount[i] = overcounts[i];
    s.hashOf[i] = FoldedHash(table.slots[i].key.view());
  }
  if (!r.ok()) return;
  if (Status loaded = LoadSummary(s.order, counts, overcounts, bound); !loaded.ok()) {
    r.Fail(loaded.Reason());
    return;
  }
  s.ordered = true;
}

template <typename Table>
void ReadSummary(PayloadReader& r, Table& table) {
  auto& s = table.summary;
  const int64_t evictions = Counted(r);
  const int64_t firstRecord = Counted(r);
  const int64_t bound = Counted(r);
  if (!r.ok()) return;
  if (evictions == 0) {
    if (bound != 0 || firstRecord != 0) r.Fail("a bound for a table that never evicted");
    return;
  }
  if (table.used != Table::kCapacity || bound == 0) {
    r.Fail("evictions in a table with free slots or no bound");
    return;
  }
  // Set first, so that clearing the table clears what was read.
  s.evictions = evictions;
  s.firstRecord = firstRecord;
  ReadSummarySlots(r, table, bound);
}

void ReadDistinct(PayloadReader& r, DistinctCount& c) {
  // Ranks run from 1 to 51 (the 50 bits below the register's 14, plus one).
  constexpr uint8_t kMostRank = 64 - kDistinctPrecision + 1;
  if (r.Bool()) {
    c.dense = 1;
    for (uint8_t& reg : c.registers) {
      reg = r.U8();
      if (reg > kMostRank) {
        r.Fail("a register of " + std::to_string(reg) + ", above the largest rank");
        return;
      }
    }
    return;
  }
  uint64_t count = r.Count(8, kDistinctExactLimit);
  uint64_t last = 0;
  for (uint64_t i = 0; i < count && r.ok(); ++i) {
    uint64_t hash = r.U64();
    if (i > 0 && hash <= last) {
      r.Fail("the exact hashes are not ascending");
      return;
    }
    last = hash;
    AddDistinctExact(c, hash);
  }
}

void ReadDistinctTallies(PayloadReader& r, Tallies& tallies) {
  DistinctTallies& d = *tallies.distinct;
  ReadDistinct(r, d.clients);
  uint64_t days = r.U64();
  if (r.ok() && days != tallies.dates.used) {
    r.Fail(std::to_string(days) + " days of distinct counts for " +
           std::to_string(tallies.dates.used) + " dates");
  }
  for (size_t i = 0; i < days && r.ok(); ++i) {
    ReadDistinct(r, d.dayClients[i]);
    ReadDistinct(r, d.dayVisitors[i]);
  }
}

void ReadSettings(PayloadReader& r, StateFacts* facts) {
  uint64_t count = r.Count(8, kMostSettings);
  for (uint64_t i = 0; i < count && r.ok(); ++i) {
    TallyingSetting s;
    s.keyword = std::string(r.Text(kSettingWidth));
    s.value = std::string(r.Text(kSettingWidth));
    if (r.ok() && s.value.empty()) r.Fail("the setting " + s.keyword + " has no value");
    const bool isSwitch = s.keyword == kSummaryTablesKeyword || s.keyword == kDistinctKeyword;
    if (r.ok() && isSwitch && s.value != "ON") {
      r.Fail("the setting " + s.keyword + " has the value '" + s.value.substr(0, 40) +
             "', which no run writes");
    }
    facts->settings.push_back(std::move(s));
  }
}

void ReadProvenance(PayloadReader& r, StateFacts* facts) {
  uint64_t count = r.Count(4 + 5 * 8 + 4, kMostInputs);
  for (uint64_t i = 0; i < count && r.ok(); ++i) {
    InputOrigin in;
    in.name = std::string(r.Text(kNameWidth));
    in.bytes = r.U64();
    in.fingerprint.high = r.U64();
    in.fingerprint.low = r.U64();
    in.firstTime = r.I64();
    in.lastTime = r.I64();
    in.source = std::string(r.Text(kSourceTagWidth));
    facts->inputs.push_back(std::move(in));
  }
}

void ReadCounters(PayloadReader& r, Tallies& tallies, RunCounters& c) {
  c.processedCount = Counted(r);
  c.pagesRequested = Counted(r);
  c.hasFirstUser = r.Bool();
  c.firstUser.assign(r.Text(decltype(c.firstUser)::kCapacity));
  c.previousUser.assign(r.Text(kKeyWidth));
  c.hasExtra1 = r.Bool();
  c.hasExtra2 = r.Bool();
  c.rejected.records = Counted(r);
  for (size_t k = 0; k < kLineFaultKinds; ++k) {
    c.rejected.count[k] = Counted(r);
    c.rejected.firstLine[k] = Counted(r);
  }
  c.rejected.sampleLine = Counted(r);
  c.rejected.sample.assign(r.Text(kRejectedSampleWidth));
  c.longLines = Counted(r);
  c.firstLongLine = Counted(r);
  c.oddByteCounts = Counted(r);
  c.firstOddByteCount = Counted(r);
  c.unmatchedLines = Counted(r);
  c.firstUnmatched = std::string(r.Text(kUnmatchedWidth));
  c.firstTime = r.I64();
  c.lastTime = r.I64();
  for (int64_t& count : tallies.codes.counts) count = Counted(r);
}

bool IsAgentSection(uint32_t kind) {
  return kind >= kAgentClassesSection && kind <= kAiPagesSection;
}

// The user-agent sections; families and crawlers keep their first lines
// among the state's `lines`.
void ReadAgentSection(PayloadReader& r, uint32_t kind, AgentTallies& agents, int64_t lines) {
  switch (kind) {
    case kAgentClassesSection: ReadAgentClasses(r, agents); return;
    case kAgentFamiliesSection:
      ReadTable(r, agents.browsers, lines);
      ReadTable(r, agents.systems, lines);
      return;
    case kCrawlersSection: ReadTable(r, agents.bots, lines); return;
    case kAiPagesSection: ReadTable(r, agents.aiPages); return;
  }
}

// ---- FROM/UNTIL's counters and the response times.

// A record's clock as the log wrote it: seven 32-bit fields.
void WriteClock(PayloadWriter& w, const RecordTime& t) {
  for (int32_t v : {t.year, t.month, t.day, t.hour, t.minute, t.second, t.offsetMinutes}) {
    w.U32(static_cast<uint32_t>(v));
  }
}

std::string DateRangePayload(const RunCounters& c) {
  PayloadWriter w;
  w.I64(c.outOfRange);
  w.I64(c.keptClocks);
  WriteClock(w, c.earliestKept);
  WriteClock(w, c.latestKept);
  return w.bytes();
}

// A sketch's filled buckets: how many, then each one's index and count,
// the count as wide as the sketch keeps it.
template <typename Count, size_t N>
void WriteFilledBuckets(PayloadWriter& w, const Count (&buckets)[N]) {
  uint64_t filled = 0;
  for (Count b : buckets) filled += b != 0 ? 1 : 0;
  w.U64(filled);
  for (size_t b = 0; b < N; ++b) {
    if (buckets[b] == 0) continue;
    w.U32(static_cast<uint32_t>(b));
    if constexpr (sizeof(Count) == 8) {
      w.U64(buckets[b]);
    } else {
      w.U32(buckets[b]);
    }
  }
}

void WriteSketch(PayloadWriter& w, const LatencySketch& s) {
  w.U64(s.count);
  w.U64(s.sumMicros);
  w.U64(s.minMicros);
  w.U64(s.maxMicros);
  WriteFilledBuckets(w, s.buckets);
}

std::string HourTimesPayload(const Tallies& t) {
  PayloadWriter w;
  w.I64(t.times.noValue);
  w.I64(t.times.firstNoValue);
  const size_t hours = std::min(t.hours.used, kTimedHourSlots);
  uint64_t timed = 0;
  for (size_t h = 0; h < hours; ++h) timed += t.times.hours[h].count != 0 ? 1 : 0;
  w.U64(timed);
  for (size_t h = 0; h < hours; ++h) {
    if (t.times.hours[h].count == 0) continue;
    w.U64(h);
    WriteSketch(w, t.times.hours[h]);
  }
  return w.bytes();
}

std::string PageTimesPayload(const Tallies& t, size_t timed) {
  PayloadWriter w;
  w.U64(timed);
  for (size_t p = 0; timed != 0 && p < t.pages.used && p < kTimedPageSlots; ++p) {
    const PageLatencySketch& s = t.times.pages[p];
    if (s.count == 0) continue;
    w.U64(p);
    w.U64(s.count);
    w.U64(s.minMicros);
    w.U64(s.maxMicros);
    w.U32(s.low);
    WriteFilledBuckets(w, s.buckets);
  }
  return w.bytes();
}

// A clock that a log's time could give, or all zero when none was kept.
void ReadClock(PayloadReader& r, RecordTime& t, bool kept) {
  for (int32_t* v : {&t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second, &t.offsetMinutes}) {
    *v = static_cast<int32_t>(r.U32());
  }
  if (!r.ok()) return;
  const bool valid = t.year >= 0 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
                     t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
                     t.second >= 0 && t.second <= 60 && t.offsetMinutes >= -1439 &&
                     t.offsetMinutes <= 1439;
  if (kept && !valid) r.Fail("a kept record's time that no log gives");
  if (!kept && !(t == RecordTime{})) r.Fail("a kept record's time, but no record kept");
}

void ReadDateRange(PayloadReader& r, RunCounters& c) {
  c.outOfRange = Counted(r);
  c.keptClocks = Counted(r);
  ReadClock(r, c.earliestKept, c.keptClocks > 0);
  ReadClock(r, c.latestKept, c.keptClocks > 0);
  if (r.ok() && !HoldsDateRange(c)) r.Fail(kEmptySection);
  if (r.ok() && c.keptClocks > 0 && InstantOf(c.latestKept) < InstantOf(c.earliestKept)) {
    r.Fail("the latest kept record's time is before the earliest's");
  }
}

// The slot a time belongs to: one in use, after the one before, timed at
// most as often as it was hit.
template <typename Table>
size_t TimedSlot(PayloadReader& r, const Table& table, uint64_t slot, uint64_t count,
                 int64_t* after) {
  if (!r.ok()) return 0;
  if (slot >= table.used || static_cast<int64_t>(slot) <= *after) {
    r.Fail("times for slot " + std::to_string(slot) + ", not a slot in use after the one before");
    return 0;
  }
  *after = static_cast<int64_t>(slot);
  if (count == 0 || count > static_cast<uint64_t>(table.slots[slot].hits)) {
    r.Fail("slot " + std::to_string(slot) + " timed " + std::to_string(count) + " times, with " +
           std::to_string(table.slots[slot].hits) + " hits");
  }
  return static_cast<size_t>(slot);
}

// A sketch's filled buckets, in ascending order; put(b) reads one and says
// whether it holds something.
template <typename Fn>
void ReadBuckets(PayloadReader& r, size_t buckets, size_t itemBytes, Fn&& put) {
  uint64_t filled = r.Count(itemBytes, buckets);
  int64_t last = -1;
  for (uint64_t i = 0; i < filled && r.ok(); ++i) {
    uint32_t b = r.U32();
    if (r.ok() && (b >= buckets || static_cast<int64_t>(b) <= last)) {
      r.Fail("bucket " + std::to_string(b) + " out of order or out of range");
      return;
    }
    last = b;
    if (!put(b) && r.ok()) r.Fail("bucket " + std::to_string(b) + " written empty");
  }
}

constexpr const char* kNoSuchSketch = "a response-time sketch that no set of times gives";

// The facts of a sketch of real values: its count in its buckets, its
// minimum's bucket the first filled and its maximum's the last.
void CheckSketch(PayloadReader& r, const LatencySketch& s) {
  uint64_t sum = 0;
  size_t first = kLatencyBuckets;
  size_t last = 0;
  for (size_t b = 0; b < kLatencyBuckets; ++b) {
    if (s.buckets[b] == 0) continue;
    sum = SaturatingAdd(sum, s.buckets[b]);
    first = std::min(first, b);
    last = b;
  }
  if (sum != s.count || s.minMicros > s.maxMicros || s.sumMicros < s.maxMicros ||
      LatencyBucketOf(s.minMicros) != first || LatencyBucketOf(s.maxMicros) != last) {
    r.Fail(kNoSuchSketch);
  }
}

// As above for a page's: its window where its minimum and maximum put it,
// and buckets that stop at the largest uint32_t holding no more than it.
void CheckPageSketch(PayloadReader& r, const PageLatencySketch& s) {
  const uint32_t lowest = PageLatencyIndexOf(s.minMicros);
  const uint32_t highest = PageLatencyIndexOf(s.maxMicros);
  constexpr uint32_t kSpan = kPageLatencyBuckets - 1;
  const uint32_t low = highest > lowest + kSpan ? highest - kSpan : lowest;
  if (s.minMicros > s.maxMicros || s.low != low) return r.Fail(kNoSuchSketch);
  uint64_t sum = 0;
  bool saturated = false;
  for (size_t b = 0; b < kPageLatencyBuckets; ++b) {
    const bool outside = b + low < lowest || b + low > highest;
    if (s.buckets[b] != 0 && outside) return r.Fail(kNoSuchSketch);
    sum += s.buckets[b];
    saturated = saturated || s.buckets[b] == UINT32_MAX;
  }
  const bool ends =
      s.buckets[(lowest > low ? lowest - low : 0)] != 0 && s.buckets[highest - low] != 0;
  if (!ends || sum > s.count || (!saturated && sum != s.count)) r.Fail(kNoSuchSketch);
}

void ReadHourTimes(PayloadReader& r, Tallies& t) {
  t.times.noValue = Counted(r);
  t.times.firstNoValue = Counted(r);
  if (r.ok() && t.times.noValue == 0 && t.times.firstNoValue != 0) {
    r.Fail("a first untimed line, but no untimed record");
  }
  uint64_t timed = r.Count(6 * 8, kTimedHourSlots);
  if (r.ok() && timed == 0 && t.times.noValue == 0) r.Fail(kEmptySection);
  int64_t after = -1;
  for (uint64_t i = 0; i < timed && r.ok(); ++i) {
    uint64_t slot = r.U64();
    LatencySketch s{};
    s.count = r.U64();
    s.sumMicros = r.U64();
    s.minMicros = r.U64();
    s.maxMicros = r.U64();
    size_t h = TimedSlot(r, t.hours, slot, s.count, &after);
    ReadBuckets(r, kLatencyBuckets, 4 + 8, [&](uint32_t b) { return (s.buckets[b] = r.U64()); });
    if (r.ok()) CheckSketch(r, s);
    if (r.ok()) t.times.hours[h] = s;
  }
  SumResponseTimes(t.times, t.hours.used);
}

void ReadPageTimes(PayloadReader& r, Tallies& t) {
  uint64_t timed = r.Count(5 * 8 + 4, std::min(t.pages.used, kTimedPageSlots));
  if (r.ok() && timed == 0) r.Fail(kEmptySection);
  int64_t after = -1;
  for (uint64_t i = 0; i < timed && r.ok(); ++i) {
    uint64_t slot = r.U64();
    PageLatencySketch s{};
    s.count = r.U64();
    s.minMicros = r.U64();
    s.maxMicros = r.U64();
    s.low = r.U32();
    size_t p = TimedSlot(r, t.pages, slot, s.count, &after);
    ReadBuckets(r, kPageLatencyBuckets, 2 * 4,
                [&](uint32_t b) { return (s.buckets[b] = r.U32()); });
    if (r.ok()) CheckPageSketch(r, s);
    if (r.ok()) PageSketches(t.times)[p] = s;
  }
}

}  // namespace

bool HoldsDateRange(const RunCounters& c) { return c.outOfRange != 0 || c.keptClocks != 0; }

bool HoldsHourTimes(const Tallies& t) {
  if (t.times.noValue != 0) return true;
  for (size_t h = 0; h < t.hours.used && h < kTimedHourSlots; ++h) {
    if (t.times.hours[h].count != 0) return true;
  }
  return false;
}

size_t TimedPages(const Tallies& t) {
  size_t timed = 0;
  if (!t.times.pages) return 0;
  for (size_t p = 0; p < t.pages.used && p < kTimedPageSlots; ++p) {
    timed += t.times.pages[p].count != 0 ? 1 : 0;
  }
  return timed;
}

void ResetTally(Tallies& tallies, RunCounters& counters) {
  ClearTallies(tallies);
  ForEachTable(tallies, [](auto& table, uint32_t, const char*) { table.ranFull = false; });
  ForEachAgentTable(tallies.agents,
                    [](auto& table, uint32_t, const char*) { table.ranFull = false; });
  tallies.codes = ResponseCodeCounters{};
  counters = RunCounters{};
}

std::string EncodeState(const Tallies& tallies, const RunCounters& counters,
                        const StateFacts& facts) {
  std::string out;
  AppendStateHeader(&out);
  AppendSection(&out, kSettingsSection, 0, SettingsPayload(facts));
  AppendSection(&out, kProvenanceSection, 0, ProvenancePayload(facts));
  AppendSection(&out, kCountersSection, 0, CountersPayload(tallies, counters));
  ForEachTable(tallies, [&](const auto& table, uint32_t index, const char*) {
    AppendSection(&out, kFirstTableSection + index, 0, TablePayload(table));
  });
  if (HasSwitch(facts.settings, kSummaryTablesKeyword)) {
    AppendSection(&out, kSummarySection, SectionFlags(kSummarySection), SummaryPayload(tallies));
  }
  if (HasSwitch(facts.settings, kDistinctKeyword)) {
    AppendSection(&out, kDistinctSection, SectionFlags(kDistinctSection), DistinctPayload(tallies));
  }
  if (CountsAgents(facts.settings)) {
    const AgentTallies& a = tallies.agents;
    AppendSection(&out, kAgentClassesSection, SectionFlags(kAgentClassesSection),
                  AgentClassesPayload(a));
    AppendSection(&out, kAgentFamiliesSection, SectionFlags(kAgentFamiliesSection),
                  TablePayload(a.browsers, a.systems));
    AppendSection(&out, kCrawlersSection, SectionFlags(kCrawlersSection), TablePayload(a.bots));
    AppendSection(&out, kAiPagesSection, SectionFlags(kAiPagesSection), TablePayload(a.aiPages));
  }
  // A run that skipped records by FROM/UNTIL counted something an older
  // reader cannot honour: that section must be understood. The times only
  // add sections of their own, which an older reader may pass over.
  if (HoldsDateRange(counters)) {
    AppendSection(&out, kDateRangeSection, 0, DateRangePayload(counters));
  }
  if (HoldsHourTimes(tallies)) {
    AppendSection(&out, kHourTimesSection, kSectionSkippable, HourTimesPayload(tallies));
  }
  if (size_t timed = TimedPages(tallies); timed != 0) {
    AppendSection(&out, kPageTimesSection, kSectionSkippable, PageTimesPayload(tallies, timed));
  }
  AppendEndSection(&out);
  return out;
}

namespace {

// A section this program knows, in the order a state holds them.
struct KnownSection {
  uint32_t kind;
  uint32_t flags;
  bool optional;  // written only when it holds something
};

// The sections of a state, once its settings are known (before: null):
// they add those of the switches they hold and, when the agents were
// counted, the user-agent ones.
std::vector<KnownSection> KnownSections(const std::vector<TallyingSetting>* settings) {
  std::vector<KnownSection> known = {
      {kSettingsSection, 0, false}, {kProvenanceSection, 0, false}, {kCountersSection, 0, false}};
  for (uint32_t t = 0; t < kTableSectionCount; ++t) {
    known.push_back({kFirstTableSection + t, 0, false});
  }
  auto add = [&](uint32_t kind) { known.push_back({kind, SectionFlags(kind), false}); };
  if (settings != nullptr && HasSwitch(*settings, kSummaryTablesKeyword)) add(kSummarySection);
  if (settings != nullptr && HasSwitch(*settings, kDistinctKeyword)) add(kDistinctSection);
  if (settings != nullptr && CountsAgents(*settings)) {
    for (uint32_t k = kAgentClassesSection; k <= kAiPagesSection; ++k) add(k);
  }
  known.push_back({kDateRangeSection, 0, true});
  known.push_back({kHourTimesSection, kSectionSkippable, true});
  known.push_back({kPageTimesSection, kSectionSkippable, true});
  return known;
}

// The first section before `end` (from `next` on) that a state must have.
std::optional<uint32_t> Missing(const std::vector<KnownSection>& known, size_t next, size_t end) {
  for (size_t i = next; i < end; ++i) {
    if (!known[i].optional) return known[i].kind;
  }
  return std::nullopt;
}

void ReadPayload(PayloadReader& r, uint32_t kind, Tallies& tallies, RunCounters& counters,
                 StateFacts* facts) {
  switch (kind) {
    case kSettingsSection: return ReadSettings(r, facts);
    case kProvenanceSection: return ReadProvenance(r, facts);
    case kCountersSection: return ReadCounters(r, tallies, counters);
    case kSummarySection:
      return ForEachRankedTable(tallies, [&](auto& table, uint32_t) {
        if (r.ok()) ReadSummary(r, table);
      });
    case kDistinctSection: return ReadDistinctTallies(r, tallies);
    case kDateRangeSection: return ReadDateRange(r, counters);
    case kHourTimesSection: return ReadHourTimes(r, tallies);
    case kPageTimesSection: return ReadPageTimes(r, tallies);
    default:
      if (IsAgentSection(kind))
        return ReadAgentSection(r, kind, tallies.agents, counters.rejected.records);
      ForEachTable(tallies, [&](auto& table, uint32_t index, const char*) {
        if (kind == kFirstTableSection + index) ReadTable(r, table);
      });
  }
}

// Where a section's kind sits among the known ones (known.size() when it
// is not one), or the fault of a section out of its place.
Status PlaceSection(const StateStream& stream, const Section& section, uint64_t at,
                    const std::vector<KnownSection>& known, size_t* next, size_t* index) {
  size_t k = 0;
  while (k < known.size() && known[k].kind != section.kind) ++k;
  *index = k;
  if (k == known.size()) return Status::Ok();
  const std::string name = "section " + std::to_string(section.kind);
  if (k < *next || section.flags != known[k].flags) {
    return StateFault(stream.name(), at, name + " is out of place");
  }
  if (auto missing = Missing(known, *next, k)) {
    return StateFault(stream.name(), at, "the section " + std::to_string(*missing) + " is missing");
  }
  *next = k + 1;
  return Status::Ok();
}

// A section this state should not hold: Ok for one of a later kind that a
// reader may pass over.
Status UnknownSection(const StateStream& stream, const Section& section, uint64_t at) {
  const std::string name = "section " + std::to_string(section.kind);
  if (section.kind == kSummarySection) {
    return StateFault(stream.name(), at, "section 24 (summaries) without TABLES=SUMMARY");
  }
  if (section.kind == kDistinctSection) {
    return StateFault(stream.name(), at, "section 25 (distinct counts) without DISTINCT=ON");
  }
  if (IsAgentSection(section.kind)) {
    return StateFault(stream.name(), at,
                      name + " holds user-agent tallies, but the state was counted without AGENTS");
  }
  if ((section.flags & kSectionSkippable) != 0) return Status::Ok();
  return StateFault(
      stream.name(), at,
      name + " was made by a newer Logvane and must be understood to merge the state");
}

// The END section: empty, after every section a state must have.
Status EndState(const StateStream& stream, const Section& section,
                const std::vector<KnownSection>& known, size_t next) {
  const uint64_t headerAt = section.offset - kSectionHeaderSize;
  if (!section.payload.empty() || section.flags != 0) {
    return StateFault(stream.name(), headerAt, "the END section is not empty");
  }
  if (auto missing = Missing(known, next, known.size())) {
    return StateFault(stream.name(), headerAt,
                      "the state ends without its section " + std::to_string(*missing));
  }
  return Status::Ok();
}

}  // namespace

Status DecodeState(StateStream& stream, Tallies& tallies, RunCounters& counters, StateFacts* facts,
                   bool* atEnd) {
  *facts = StateFacts{};
  if (Status s = stream.ReadHeader(atEnd); !s.ok() || *atEnd) return s;
  ResetTally(tallies, counters);
  facts->minorVersion = stream.minorVersion();
  std::vector<KnownSection> known = KnownSections(nullptr);
  size_t next = 0;
  Section section;
  for (;;) {
    const uint64_t sectionStart = stream.offset();
    if (Status s = stream.ReadSection(&section); !s.ok()) return s;
    if (section.kind == kEndSection) return EndState(stream, section, known, next);
    size_t index = 0;
    if (Status s = PlaceSection(stream, section, sectionStart, known, &next, &index); !s.ok()) {
      return s;
    }
    if (index == known.size()) {
      if (Status s = UnknownSection(stream, section, sectionStart); !s.ok()) return s;
      ++facts->skippedSections;
      continue;
    }
    PayloadReader r(section.payload, section.offset, stream.name());
    ReadPayload(r, section.kind, tallies, counters, facts);
    r.ExpectEnd();
    if (!r.ok()) return r.status();
    if (section.kind == kSettingsSection) {
      SetCountingModes(tallies, HasSwitch(facts->settings, kSummaryTablesKeyword),
                       HasSwitch(facts->settings, kDistinctKeyword));
      known = KnownSections(&facts->settings);
    }
  }
}

}  // namespace logvane
