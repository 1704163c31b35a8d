#include "state/state_settings.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "common/ascii_text.h"

namespace logvane {

namespace {

// A list whose order does not matter (every entry is tested), sorted and
// without repeats, one entry a line.
std::string ListValue(std::vector<std::string> entries, bool fold) {
  if (fold) {
    for (std::string& e : entries) LowercaseInPlace(e);
  }
  std::sort(entries.begin(), entries.end());
  entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
  std::string value;
  for (const std::string& e : entries) value += (value.empty() ? "" : "\n") + e;
  return value;
}

std::string Switch(bool on) { return on ? "ON" : ""; }

// A range's end as the second it stands for: on the log's own clock, or
// an instant ("Z"). FROM=2025-03-01 and FROM=2025-03-01T00:00 are one.
std::string BoundValue(const DateBound& bound) {
  if (!bound.set) return "";
  RecordTime t = CivilTimeOf(bound.seconds);
  char text[48];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d%s", t.year, t.month, t.day,
                t.hour, t.minute, t.second, bound.absolute ? "Z" : "");
  return text;
}

// Every keyword that changes what is counted, with its canonical value
// (empty at the default). A later tallying keyword is one more entry.
struct Entry {
  const char* keyword;
  std::function<std::string(const RunSettings&)> value;
};

const std::vector<Entry>& Table() {
  static const std::vector<Entry> table = {
      {"SELECT", [](const RunSettings& s) { return s.selectOn ? "=" + s.selectText : ""; }},
      {"EXCLUDE_ADDR", [](const RunSettings& s) { return ListValue(s.excludedAddresses, true); }},
      {"EXCLUDE_TYPE", [](const RunSettings& s) { return ListValue(s.excludedTypes, false); }},
      {"EXCLUDE_EXTRA1", [](const RunSettings& s) { return ListValue(s.excludedExtra1, false); }},
      {"EXCLUDE_EXTRA2", [](const RunSettings& s) { return ListValue(s.excludedExtra2, false); }},
      {"PAGES=FULL", [](const RunSettings& s) { return Switch(s.fullPageDetails); }},
      {"PROXY=ON", [](const RunSettings& s) { return Switch(s.proxyMode); }},
      {"USER=FIELD2", [](const RunSettings& s) { return Switch(s.userFromField2); }},
      {"HOFFSET",
       [](const RunSettings& s) { return s.hourOffset == 0 ? "" : std::to_string(s.hourOffset); }},
      {"ROBOTS",
       [](const RunSettings& s) {
         return std::string(EqualsFolded(s.robotsMode, "RPT") ? "RPT" : "");
       }},
      {"LOGFORMAT", [](const RunSettings& s) { return s.logFormat; }},
      {"EXTRA1", [](const RunSettings& s) { return s.extra1Field; }},
      {"EXTRA2", [](const RunSettings& s) { return s.extra2Field; }},
      {kSummaryTablesKeyword, [](const RunSettings& s) { return Switch(s.summaryTables); }},
      {kDistinctKeyword, [](const RunSettings& s) { return Switch(s.distinctInClassic); }},
      {"TIMEFIELD", [](const RunSettings& s) { return s.timeField; }},
      {"FROM", [](const RunSettings& s) { return BoundValue(s.dateRange.from); }},
      {"UNTIL", [](const RunSettings& s) { return BoundValue(s.dateRange.until); }},
  };
  return table;
}

// The user-agent keywords, whose values are what the rules were read from
// (AGENTS, BOTS) and count only while agents are classified.
struct AgentEntry {
  const char* keyword;
  std::string (*value)(const RunSettings&, const AgentRulesMarks&);
};

constexpr AgentEntry kAgentEntries[] = {
    {"AGENTS", [](const RunSettings&, const AgentRulesMarks& m) { return m.agents; }},
    {"BOTS", [](const RunSettings&,
                const AgentRulesMarks& m) { return m.agents.empty() ? std::string() : m.bots; }},
    {"EXCLUDE_BOTS",
     [](const RunSettings& s, const AgentRulesMarks& m) {
       return m.agents.empty() ? std::string() : Switch(s.excludeBots);
     }},
};

// Every tallying keyword in table order.
const std::vector<std::string>& Keywords() {
  static const std::vector<std::string> keywords = [] {
    std::vector<std::string> list;
    for (const Entry& e : Table()) list.push_back(e.keyword);
    for (const AgentEntry& e : kAgentEntries) list.push_back(e.keyword);
    return list;
  }();
  return keywords;
}

const std::string* ValueOf(const std::vector<TallyingSetting>& list, const std::string& keyword) {
  for (const TallyingSetting& s : list) {
    if (s.keyword == keyword) return &s.value;
  }
  return nullptr;
}

std::string Shown(const std::string* value) { return value ? *value : "(not set)"; }

}  // namespace

std::vector<TallyingSetting> TallyingSettingsOf(const RunSettings& settings,
                                                const AgentRulesMarks& agentRules) {
  std::vector<TallyingSetting> list;
  auto add = [&list](const char* keyword, std::string value) {
    if (!value.empty()) list.push_back({keyword, std::move(value)});
  };
  for (const Entry& e : Table()) add(e.keyword, e.value(settings));
  for (const AgentEntry& e : kAgentEntries) add(e.keyword, e.value(settings, agentRules));
  return list;
}

bool CountsAgents(const std::vector<TallyingSetting>& settings) {
  return ValueOf(settings, "AGENTS") != nullptr;
}

bool HasSwitch(const std::vector<TallyingSetting>& settings, const std::string& keyword) {
  const std::string* value = ValueOf(settings, keyword);
  return value != nullptr && *value == "ON";
}

std::optional<SettingDifference> CompareSettings(const std::vector<TallyingSetting>& run,
                                                 const std::vector<TallyingSetting>& state) {
  for (const std::string& keyword : Keywords()) {
    const std::string* a = ValueOf(run, keyword);
    const std::string* b = ValueOf(state, keyword);
    if ((a == nullptr) != (b == nullptr) || (a != nullptr && *a != *b)) {
      return SettingDifference{keyword, Shown(a), Shown(b)};
    }
  }
  for (const TallyingSetting& s : state) {
    bool known = std::find(Keywords().begin(), Keywords().end(), s.keyword) != Keywords().end();
    if (!known) return SettingDifference{s.keyword, "(unknown to this Logvane)", s.value};
  }
  return std::nullopt;
}

}  // namespace logvane
