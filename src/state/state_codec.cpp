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

void ReadSettings(PayloadReader& r, StateFacts* facts) {
  uint64_t count = r.Count(8, kMostSettings);
  for (uint64_t i = 0; i < count && r.ok(); ++i) {
    TallyingSetting s;
    s.keyword = std::string(r.Text(kSettingWidth));
    s.value = std::string(r.Text(kSettingWidth));
    if (r.ok() && s.value.empty()) r.Fail("the setting " + s.keyword + " has no value");
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
  if (CountsAgents(facts.settings)) {
    const AgentTallies& a = tallies.agents;
    AppendSection(&out, kAgentClassesSection, kSectionSkippable, AgentClassesPayload(a));
    AppendSection(&out, kAgentFamiliesSection, kSectionSkippable,
                  TablePayload(a.browsers, a.systems));
    AppendSection(&out, kCrawlersSection, kSectionSkippable, TablePayload(a.bots));
    AppendSection(&out, kAiPagesSection, kSectionSkippable, TablePayload(a.aiPages));
  }
  AppendEndSection(&out);
  return out;
}

namespace {

bool IsAgentSection(uint32_t kind) {
  return kind >= kAgentClassesSection && kind <= kAiPagesSection;
}

// The payload of a known section into the tally.
void ReadPayload(const Section& section, PayloadReader& r, Tallies& tallies, RunCounters& counters,
                 StateFacts* facts) {
  const int64_t lines = counters.rejected.records;
  switch (section.kind) {
    case kSettingsSection: ReadSettings(r, facts); return;
    case kProvenanceSection: ReadProvenance(r, facts); return;
    case kCountersSection: ReadCounters(r, tallies, counters); return;
    case kAgentClassesSection: ReadAgentClasses(r, tallies.agents); return;
    case kAgentFamiliesSection:
      ReadTable(r, tallies.agents.browsers, lines);
      ReadTable(r, tallies.agents.systems, lines);
      return;
    case kCrawlersSection: ReadTable(r, tallies.agents.bots, lines); return;
    case kAiPagesSection: ReadTable(r, tallies.agents.aiPages); return;
    default:
      ForEachTable(tallies, [&](auto& table, uint32_t index, const char*) {
        if (section.kind == kFirstTableSection + index) ReadTable(r, table);
      });
  }
}

// Where a section that is not the next expected one (`expected[next]`)
// goes wrong; Ok for a later optional one, which is skipped.
Status UnexpectedSection(const StateStream& stream, const Section& section, uint64_t at,
                         const std::vector<uint32_t>& expected, size_t next, size_t known) {
  const std::string kind = std::to_string(section.kind);
  if (known == expected.size()) {
    if (IsAgentSection(section.kind)) {
      return StateFault(stream.name(), at,
                        "section " + kind +
                            " holds user-agent tallies, but the state was counted without AGENTS");
    }
    if ((section.flags & kSectionSkippable) != 0) return Status::Ok();
    return StateFault(stream.name(), at,
                      "section " + kind +
                          " was made by a newer Logvane and must be understood to merge the state");
  }
  if (known < next) return StateFault(stream.name(), at, "section " + kind + " is out of place");
  return StateFault(stream.name(), at,
                    "the section " + std::to_string(expected[next]) + " is missing");
}

}  // namespace

Status DecodeState(StateStream& stream, Tallies& tallies, RunCounters& counters, StateFacts* facts,
                   bool* atEnd) {
  *facts = StateFacts{};
  if (Status s = stream.ReadHeader(atEnd); !s.ok() || *atEnd) return s;
  ResetTally(tallies, counters);
  facts->minorVersion = stream.minorVersion();
  // The sections this program knows, each once and in this order; the
  // user-agent ones when the settings say the agents were counted.
  std::vector<uint32_t> expected = {kSettingsSection, kProvenanceSection, kCountersSection};
  for (uint32_t t = 0; t < kTableSectionCount; ++t) expected.push_back(kFirstTableSection + t);
  size_t next = 0;
  Section section;
  for (;;) {
    const uint64_t sectionStart = stream.offset();
    if (Status s = stream.ReadSection(&section); !s.ok()) return s;
    const uint64_t headerAt = section.offset - kSectionHeaderSize;
    if (section.kind == kEndSection) {
      if (!section.payload.empty() || section.flags != 0) {
        return StateFault(stream.name(), headerAt, "the END section is not empty");
      }
      if (next < expected.size()) {
        return StateFault(stream.name(), headerAt,
                          "the state ends without its section " + std::to_string(expected[next]));
      }
      return Status::Ok();
    }
    size_t known = 0;
    while (known < expected.size() && expected[known] != section.kind) ++known;
    const uint32_t flags = IsAgentSection(section.kind) ? kSectionSkippable : 0;
    if (known != next || known == expected.size() || section.flags != flags) {
      if (known == next && known != expected.size()) {
        return StateFault(stream.name(), sectionStart,
                          "section " + std::to_string(section.kind) + " is out of place");
      }
      Status s = UnexpectedSection(stream, section, sectionStart, expected, next, known);
      if (!s.ok()) return s;
      ++facts->skippedSections;
      continue;
    }
    ++next;
    PayloadReader r(section.payload, section.offset, stream.name());
    ReadPayload(section, r, tallies, counters, facts);
    r.ExpectEnd();
    if (!r.ok()) return r.status();
    if (section.kind == kSettingsSection && CountsAgents(facts->settings)) {
      for (uint32_t k = kAgentClassesSection; k <= kAiPagesSection; ++k) expected.push_back(k);
    }
  }
}

}  // namespace logvane
