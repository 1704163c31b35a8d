#include "state/state_codec.h"

#include <cstring>

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
}

template <typename Table>
std::string TablePayload(const Table& table) {
  PayloadWriter w;
  w.U64(table.used);
  w.I64(table.dropped);
  w.Bool(table.ranFull);
  for (size_t i = 0; i < table.used; ++i) WriteEntry(w, table.slots[i]);
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

template <typename Table>
void ReadTable(PayloadReader& r, Table& table) {
  using Entry = std::remove_reference_t<decltype(table.slots[0])>;
  using Key = decltype(Entry::key);
  constexpr size_t kEntryBytes = 4 + 8 + (requires(Entry e) { e.byteSum; } ? 8 : 0) +
                                 (requires(Entry e) { e.isRobot; } ? 1 : 0);
  uint64_t count = r.Count(kEntryBytes, Table::kCapacity);
  int64_t dropped = Counted(r);
  bool ranFull = r.Bool();
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
  }
  table.dropped = dropped;
  table.ranFull = ranFull;
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
  AppendEndSection(&out);
  return out;
}

Status DecodeState(StateStream& stream, Tallies& tallies, RunCounters& counters, StateFacts* facts,
                   bool* atEnd) {
  *facts = StateFacts{};
  if (Status s = stream.ReadHeader(atEnd); !s.ok() || *atEnd) return s;
  ResetTally(tallies, counters);
  facts->minorVersion = stream.minorVersion();
  // The sections this program knows, each once and in this order.
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
    if (known == expected.size()) {
      if ((section.flags & kSectionSkippable) != 0) {
        ++facts->skippedSections;
        continue;
      }
      return StateFault(stream.name(), sectionStart,
                        "section " + std::to_string(section.kind) +
                            " was made by a newer Logvane and must be understood to merge the "
                            "state");
    }
    if (known < next || section.flags != 0) {
      return StateFault(stream.name(), sectionStart,
                        "section " + std::to_string(section.kind) + " is out of place");
    }
    if (known > next) {
      return StateFault(stream.name(), sectionStart,
                        "the section " + std::to_string(expected[next]) + " is missing");
    }
    next = known + 1;
    PayloadReader r(section.payload, section.offset, stream.name());
    if (section.kind == kSettingsSection) {
      ReadSettings(r, facts);
    } else if (section.kind == kProvenanceSection) {
      ReadProvenance(r, facts);
    } else if (section.kind == kCountersSection) {
      ReadCounters(r, tallies, counters);
    } else {
      ForEachTable(tallies, [&](auto& table, uint32_t index, const char*) {
        if (section.kind == kFirstTableSection + index) ReadTable(r, table);
      });
    }
    r.ExpectEnd();
    if (!r.ok()) return r.status();
  }
}

}  // namespace logvane
