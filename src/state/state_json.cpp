#include "state/state_json.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "agents/agent_class.h"
#include "intake/log_parser.h"

namespace logvane {

namespace {

// The length of the valid UTF-8 sequence at `p` (at most `n` bytes), or 0.
size_t Utf8Length(const unsigned char* p, size_t n) {
  unsigned char c = p[0];
  size_t len = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
  if (c >= 0xf5 || len == 0 || len > n) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0;
  }
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  if (c == 0xe0 && p[1] < 0xa0) return 0;
  if (c == 0xed && p[1] >= 0xa0) return 0;
  if (c == 0xf0 && p[1] < 0x90) return 0;
  if (c == 0xf4 && p[1] >= 0x90) return 0;
  return len;
}

std::string Number(double v) {
  if (!std::isfinite(v)) return "null";
  char text[40];
  std::snprintf(text, sizeof(text), "%.17g", v);
  return text;
}

std::string Time(int64_t t) { return t == 0 ? "null" : JsonString(TimeText(t)); }

std::string Bool(bool v) { return v ? "true" : "false"; }

// The rejection kinds by their parser fault, as the JSON names them.
constexpr const char* kFaultNames[kLineFaultCount] = {
    "",         "noBracket", "badFormat", "noHour",  "noPage", "pageTooFar",
    "badPageA", "badPageB",  "badPageD",  "noMatch", "tooLong"};

class Object {
 public:
  explicit Object(std::string* out) : out_(out) { out_->push_back('{'); }
  void Field(std::string_view name, const std::string& json) {
    if (!first_) out_->push_back(',');
    first_ = false;
    out_->append(JsonString(name)).append(":").append(json);
  }
  void Int(std::string_view name, int64_t v) { Field(name, std::to_string(v)); }
  void Close() { out_->push_back('}'); }

 private:
  std::string* out_;
  bool first_ = true;
};

template <typename Table>
std::string TableJson(const Table& table) {
  std::string out;
  Object o(&out);
  o.Int("capacity", static_cast<int64_t>(Table::kCapacity));
  o.Field("ranFull", Bool(table.ranFull));
  o.Int("dropped", table.dropped);
  std::string entries = "[";
  for (size_t i = 0; i < table.used; ++i) {
    const auto& e = table.slots[i];
    if (i != 0) entries += ",";
    Object entry(&entries);
    entry.Field("key", JsonString(e.key.view()));
    entry.Int("hits", e.hits);
    if constexpr (requires { e.byteSum; }) entry.Field("bytes", Number(e.byteSum));
    if constexpr (requires { e.isRobot; }) entry.Field("robot", Bool(e.isRobot != 0));
    if constexpr (requires { e.firstLine; }) entry.Int("firstLine", e.firstLine);
    if constexpr (requires { e.visitorClass; }) {
      entry.Field("class", JsonString(AgentClassWord(static_cast<AgentClass>(e.visitorClass))));
      entry.Field("operator", JsonString(e.operatorName.view()));
    }
    entry.Close();
  }
  entries += "]";
  o.Field("entries", entries);
  o.Close();
  return out;
}

// A summary table's evictions and bound, and once it evicted each entry's
// overcount (and byte overcount) in the order of its entries.
template <typename Table>
std::string SummaryJson(const Table& table) {
  const auto& s = table.summary;
  std::string out;
  Object o(&out);
  o.Int("evictions", s.evictions);
  o.Int("firstRecord", s.firstRecord);
  o.Int("bound", SummaryBound(s));
  if (SummaryEvicted(s)) {
    std::string overcounts = "[";
    std::string bytes = "[";
    for (size_t i = 0; i < table.used; ++i) {
      if (i != 0) {
        overcounts += ",";
        bytes += ",";
      }
      overcounts += std::to_string(s.overcount[i]);
      bytes += Number(s.byteOvercount[i]);
    }
    overcounts += "]";
    bytes += "]";
    o.Field("overcounts", overcounts);
    if constexpr (requires { table.slots[0].byteSum; }) o.Field("byteOvercounts", bytes);
  }
  o.Close();
  return out;
}

std::string DistinctJson(const DistinctCount& c) {
  std::string out;
  Object o(&out);
  o.Field("exact", Bool(DistinctIsExact(c)));
  o.Int(DistinctIsExact(c) ? "count" : "estimate", DistinctFigure(c));
  o.Close();
  return out;
}

std::string DistinctTalliesJson(const Tallies& tallies) {
  const DistinctTallies& d = *tallies.distinct;
  std::string out;
  Object o(&out);
  o.Field("clients", DistinctJson(d.clients));
  std::string days = "[";
  for (size_t i = 0; i < tallies.dates.used; ++i) {
    if (i != 0) days += ",";
    Object day(&days);
    day.Field("date", JsonString(tallies.dates.slots[i].key.view()));
    day.Field("clients", DistinctJson(d.dayClients[d.dayOf[i]]));
    day.Field("visitors", DistinctJson(d.dayVisitors[d.dayOf[i]]));
    day.Close();
  }
  days += "]";
  o.Field("days", days);
  o.Close();
  return out;
}

std::string CountersJson(const Tallies& tallies, const RunCounters& c) {
  std::string out;
  Object o(&out);
  o.Int("processed", c.processedCount);
  o.Int("pagesRequested", c.pagesRequested);
  o.Field("firstUser", c.hasFirstUser ? JsonString(c.firstUser.view()) : "null");
  o.Field("lastUser", c.hasFirstUser ? JsonString(c.previousUser.view()) : "null");
  o.Field("hasExtra1", Bool(c.hasExtra1));
  o.Field("hasExtra2", Bool(c.hasExtra2));
  o.Int("lines", c.rejected.records);
  std::string rejected = "{";
  bool first = true;
  for (size_t k = 1; k < kLineFaultKinds; ++k) {
    if (c.rejected.count[k] == 0) continue;
    if (!first) rejected += ",";
    first = false;
    rejected += JsonString(kFaultNames[k]) + ":";
    Object kind(&rejected);
    kind.Int("count", c.rejected.count[k]);
    kind.Int("firstLine", c.rejected.firstLine[k]);
    kind.Close();
  }
  rejected += "}";
  o.Field("rejected", rejected);
  o.Int("longLines", c.longLines);
  o.Int("oddByteCounts", c.oddByteCounts);
  o.Int("unmatchedLines", c.unmatchedLines);
  o.Field("firstTime", Time(c.firstTime));
  o.Field("lastTime", Time(c.lastTime));
  std::string codes;
  Object cs(&codes);
  for (size_t i = 0; i < kResponseCounterCount; ++i) {
    int32_t code = CodeOfCounter(i);
    cs.Int(code == 0 ? "other" : std::to_string(code), tallies.codes.counts[i]);
  }
  cs.Close();
  o.Field("codes", codes);
  o.Close();
  return out;
}

// The user-agent tallies: lines and bytes by class, and the tables.
std::string AgentsJson(const AgentTallies& agents) {
  std::string out;
  Object o(&out);
  std::string classes;
  Object cs(&classes);
  for (size_t c = 0; c < kVisitorClasses; ++c) {
    std::string counts;
    Object count(&counts);
    count.Int("hits", agents.classHits[c]);
    count.Field("bytes", Number(agents.classBytes[c]));
    count.Close();
    cs.Field(AgentClassWord(static_cast<AgentClass>(c)), counts);
  }
  cs.Close();
  o.Field("classes", classes);
  const char* names[] = {"browsers", "systems", "crawlers", "aiPages"};
  ForEachAgentTable(agents, [&](const auto& table, uint32_t index, const char*) {
    o.Field(names[index], TableJson(table));
  });
  o.Close();
  return out;
}

std::string ClockJson(const RecordTime& t) {
  const int32_t offset = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
  char text[64];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month,
                t.day, t.hour, t.minute, t.second, t.offsetMinutes < 0 ? '-' : '+', offset / 60,
                offset % 60);
  return JsonString(text);
}

std::string DateRangeJson(const RunCounters& c) {
  std::string out;
  Object o(&out);
  o.Int("skipped", c.outOfRange);
  o.Int("kept", c.keptClocks);
  o.Field("earliestKept", c.keptClocks > 0 ? ClockJson(c.earliestKept) : "null");
  o.Field("latestKept", c.keptClocks > 0 ? ClockJson(c.latestKept) : "null");
  o.Close();
  return out;
}

// A sketch's exact facts and its filled buckets by index.
template <typename Sketch>
std::string SketchJson(const Sketch& s, std::string_view key) {
  std::string out;
  Object o(&out);
  o.Field("key", JsonString(key));
  o.Field("count", std::to_string(s.count));
  if constexpr (requires { s.sumMicros; }) o.Field("sumMicros", std::to_string(s.sumMicros));
  o.Field("minMicros", std::to_string(s.minMicros));
  o.Field("maxMicros", std::to_string(s.maxMicros));
  if constexpr (requires { s.low; }) o.Field("low", std::to_string(s.low));
  std::string buckets;
  Object b(&buckets);
  for (size_t i = 0; i < std::size(s.buckets); ++i) {
    if (s.buckets[i] != 0) b.Field(std::to_string(i), std::to_string(s.buckets[i]));
  }
  b.Close();
  o.Field("buckets", buckets);
  o.Close();
  return out;
}

// The filled sketches of a table's slots, as a JSON array.
template <typename Table, typename Sketch>
std::string SlotSketchesJson(const Table& table, const Sketch* sketches, size_t slots) {
  std::string out = "[";
  for (size_t i = 0; sketches != nullptr && i < table.used && i < slots; ++i) {
    if (sketches[i].count == 0) continue;
    if (out.size() > 1) out.push_back(',');
    out.append(SketchJson(sketches[i], table.slots[i].key.view()));
  }
  out.push_back(']');
  return out;
}

std::string TimesJson(const Tallies& t) {
  std::string out;
  Object o(&out);
  o.Int("untimed", t.times.noValue);
  o.Int("firstUntimedLine", t.times.firstNoValue);
  o.Field("hours", SlotSketchesJson(t.hours, t.times.hours, kTimedHourSlots));
  o.Field("pages", SlotSketchesJson(t.pages, t.times.pages.get(), kTimedPageSlots));
  o.Close();
  return out;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    char escape[8];
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7f) {
      std::snprintf(escape, sizeof(escape), "\\u%04x", c);
      out += escape;
    } else if (c >= 0x80) {
      size_t len = Utf8Length(p + i, n - i);
      if (len == 0) {
        std::snprintf(escape, sizeof(escape), "\\u%04x", c);
        out += escape;
      } else {
        out.append(text.substr(i, len));
        i += len;
        continue;
      }
    } else {
      out.push_back(static_cast<char>(c));
    }
    ++i;
  }
  out.push_back('"');
  return out;
}

std::string StateJson(const Tallies& tallies, const RunCounters& counters,
                      const StateFacts& facts) {
  std::string out;
  Object o(&out);
  o.Field("format", JsonString(std::to_string(kStateMajorVersion) + "." +
                               std::to_string(facts.minorVersion)));
  std::string settings;
  Object s(&settings);
  for (const TallyingSetting& t : facts.settings) s.Field(t.keyword, JsonString(t.value));
  s.Close();
  o.Field("settings", settings);
  std::string inputs = "[";
  for (size_t i = 0; i < facts.inputs.size(); ++i) {
    const InputOrigin& in = facts.inputs[i];
    if (i != 0) inputs += ",";
    Object entry(&inputs);
    entry.Field("name", JsonString(in.name));
    entry.Field("bytes", std::to_string(in.bytes));
    entry.Field("fingerprint", JsonString(FingerprintText(in.fingerprint)));
    entry.Field("firstTime", Time(in.firstTime));
    entry.Field("lastTime", Time(in.lastTime));
    entry.Field("source", JsonString(in.source));
    entry.Close();
  }
  inputs += "]";
  o.Field("inputs", inputs);
  o.Field("counters", CountersJson(tallies, counters));
  std::string tables;
  Object t(&tables);
  const char* names[] = {"users",       "dates",    "hours",   "pages",
                         "directories", "notFound", "extra_1", "extra_2"};
  ForEachTable(tallies, [&](const auto& table, uint32_t index, const char*) {
    t.Field(names[index], TableJson(table));
  });
  t.Close();
  o.Field("tables", tables);
  if (HasSwitch(facts.settings, kSummaryTablesKeyword)) {
    std::string summaries;
    Object m(&summaries);
    ForEachRankedTable(tallies, [&](const auto& table, uint32_t index) {
      m.Field(names[index], SummaryJson(table));
    });
    m.Close();
    o.Field("summaries", summaries);
  }
  if (HasSwitch(facts.settings, kDistinctKeyword) && tallies.distinct) {
    o.Field("distinct", DistinctTalliesJson(tallies));
  }
  if (CountsAgents(facts.settings)) o.Field("agents", AgentsJson(tallies.agents));
  if (HoldsDateRange(counters)) o.Field("dateRange", DateRangeJson(counters));
  if (HoldsHourTimes(tallies) || TimedPages(tallies) != 0) o.Field("times", TimesJson(tallies));
  o.Close();
  return out;
}

}  // namespace logvane
