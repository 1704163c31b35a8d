#include "state/state_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "agents/agent_class.h"

namespace logvane {

namespace {

// Longest texts a state may hold beyond the tables' keys.
constexpr size_t kNameWidth = 4096;
constexpr size_t kSettingWidth = 1 << 16;
constexpr size_t kUnmatchedWidth = 1 << 17;
constexpr uint64_t kMostInputs = uint64_t{1} << 24;
constexpr uint64_t kMostSettings = 1000;

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

void ReadPayload(PayloadReader& r, uint32_t kind, Tallies& tallies, RunCounters& counters,
                 StateFacts* facts) {
  if (kind == kSettingsSection) {
    ReadSettings(r, facts);
  } else if (kind == kProvenanceSection) {
    ReadProvenance(r, facts);
  } else if (kind == kCountersSection) {
    ReadCounters(r, tallies, counters);
  } else if (kind == kSummarySection) {
    ForEachRankedTable(tallies, [&](auto& table, uint32_t) {
      if (r.ok()) ReadSummary(r, table);
    });
  } else if (kind == kDistinctSection) {
    ReadDistinctTallies(r, tallies);
  } else if (IsAgentSection(kind)) {
    ReadAgentSection(r, kind, tallies.agents, counters.rejected.records);
  } else {
    ForEachTable(tallies, [&](auto& table, uint32_t index, const char*) {
      if (kind == kFirstTableSection + index) ReadTable(r, table);
    });
  }
}

bool KnownKind(uint32_t kind) {
  return (kind >= kSettingsSection && kind <= kCountersSection) ||
         (kind >= kFirstTableSection && kind < kFirstTableSection + kTableSectionCount) ||
         kind == kSummarySection || kind == kDistinctSection || IsAgentSection(kind);
}

// Where a section stands among the `expected` ones, of which `next` is
// due: a fault for one out of place, twice, after a missing one, or of a
// kind no reader may pass over; `skip` for a later kind that may be.
Status PlaceSection(const StateStream& stream, const Section& section, uint64_t at,
                    const std::vector<uint32_t>& expected, size_t* next, bool* skip) {
  size_t known = 0;
  while (known < expected.size() && expected[known] != section.kind) ++known;
  if (known == expected.size() && !KnownKind(section.kind)) {
    if ((section.flags & kSectionSkippable) != 0) {
      *skip = true;
      return Status::Ok();
    }
    return StateFault(stream.name(), at,
                      "section " + std::to_string(section.kind) +
                          " was made by a newer Logvane and must be understood to merge the "
                          "state");
  }
  if (known == expected.size() && section.kind == kSummarySection) {
    return StateFault(stream.name(), at, "section 24 (summaries) without TABLES=SUMMARY");
  }
  if (known == expected.size() && section.kind == kDistinctSection) {
    return StateFault(stream.name(), at, "section 25 (distinct counts) without DISTINCT=ON");
  }
  if (known == expected.size() && IsAgentSection(section.kind)) {
    return StateFault(stream.name(), at,
                      "section " + std::to_string(section.kind) +
                          " holds user-agent tallies, but the state was counted without AGENTS");
  }
  if (known < *next || known == expected.size() || section.flags != SectionFlags(section.kind)) {
    return StateFault(stream.name(), at,
                      "section " + std::to_string(section.kind) + " is out of place");
  }
  if (known > *next) {
    return StateFault(stream.name(), at,
                      "the section " + std::to_string(expected[*next]) + " is missing");
  }
  *next = known + 1;
  return Status::Ok();
}

Status EndOfState(const StateStream& stream, const Section& section,
                  const std::vector<uint32_t>& expected, size_t next) {
  const uint64_t headerAt = section.offset - kSectionHeaderSize;
  if (!section.payload.empty() || section.flags != 0) {
    return StateFault(stream.name(), headerAt, "the END section is not empty");
  }
  if (next < expected.size()) {
    return StateFault(stream.name(), headerAt,
                      "the state ends without its section " + std::to_string(expected[next]));
  }
  return Status::Ok();
}

}  // namespace

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
  AppendEndSection(&out);
  return out;
}

Status DecodeState(StateStream& stream, Tallies& tallies, RunCounters& counters, StateFacts* facts,
                   bool* atEnd) {
  *facts = StateFacts{};
  if (Status s = stream.ReadHeader(atEnd); !s.ok() || *atEnd) return s;
  ResetTally(tallies, counters);
  facts->minorVersion = stream.minorVersion();
  // The sections this program knows, each once and in this order; the
  // settings add those of the switches they hold, and the user-agent ones
  // when they say the agents were counted.
  std::vector<uint32_t> expected = {kSettingsSection, kProvenanceSection, kCountersSection};
  for (uint32_t t = 0; t < kTableSectionCount; ++t) expected.push_back(kFirstTableSection + t);
  size_t next = 0;
  Section section;
  for (;;) {
    const uint64_t sectionStart = stream.offset();
    if (Status s = stream.ReadSection(&section); !s.ok()) return s;
    if (section.kind == kEndSection) return EndOfState(stream, section, expected, next);
    bool skip = false;
    Status placed = PlaceSection(stream, section, sectionStart, expected, &next, &skip);
    if (!placed.ok()) return placed;
    if (skip) {
      ++facts->skippedSections;
      continue;
    }
    PayloadReader r(section.payload, section.offset, stream.name());
    ReadPayload(r, section.kind, tallies, counters, facts);
    r.ExpectEnd();
    if (!r.ok()) return r.status();
    if (section.kind == kSettingsSection) {
      const bool summary = HasSwitch(facts->settings, kSummaryTablesKeyword);
      const bool distinct = HasSwitch(facts->settings, kDistinctKeyword);
      SetCountingModes(tallies, summary, distinct);
      if (summary) expected.push_back(kSummarySection);
      if (distinct) expected.push_back(kDistinctSection);
      if (CountsAgents(facts->settings)) {
        for (uint32_t k = kAgentClassesSection; k <= kAiPagesSection; ++k) expected.push_back(k);
      }
    }
  }
}

}  // namespace logvane
