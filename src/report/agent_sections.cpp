#include "report/agent_sections.h"

#include <algorithm>

#include "agents/agent_class.h"
#include "report/fixed_format.h"
#include "report/html_text.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

// People, crawlers (every bot that is not an AI's) and AI, in that order.
constexpr int kShareLabels[] = {kPeople, kCrawlers, kAiVisitors};
constexpr size_t kShareGroups = 3;

size_t ShareGroup(size_t visitorClass) {
  const AgentClass c = static_cast<AgentClass>(visitorClass);
  if (!IsBot(c)) return 0;
  return IsAi(c) ? 2 : 1;
}

struct Shares {
  int64_t hits[kShareGroups] = {};
  double bytes[kShareGroups] = {};
  int64_t totalHits = 0;
  double totalBytes = 0;
};

Shares SharesOf(const AgentTallies& t) {
  Shares s;
  for (size_t c = 0; c < kVisitorClasses; ++c) {
    s.hits[ShareGroup(c)] += t.classHits[c];
    s.bytes[ShareGroup(c)] += t.classBytes[c];
    s.totalHits += t.classHits[c];
    s.totalBytes += t.classBytes[c];
  }
  return s;
}

// A ranked table of families or names: hits, K bytes and the share of
// `total`, with the row limit and the unique total.
template <typename Table, typename Fill>
void FillRanked(SectionTable& rows, const ReportInput& state, const Table& table, int32_t limit,
                double total, int totalLabel, Fill&& fill) {
  rows.barScale = BarScale(table.slots[0].hits, state.settings.graphWidth);
  rows.ReserveRows(table.used, limit);
  int64_t unique = RankedWalk(table.slots, limit, [&](const auto& entry, int64_t rank) {
    TableRow& row = rows.AddRow(entry.key.view(), entry.hits);
    row.rank = rank;
    row.kiloBytes = entry.byteSum * 0.001;
    row.percent = Percent(static_cast<double>(entry.hits), total);
    fill(entry, row);
  });
  rows.totals.push_back({state.labels[totalLabel], std::to_string(unique)});
}

template <typename Table>
SectionRows FamilyRows(const ReportInput& state, const Table& table, int heading, int keyColumn,
                       int32_t limit, int totalLabel) {
  const ReportLabels& labels = state.labels;
  SectionRows section{labels[heading], {SectionTable{}}};
  SectionTable& rows = section.tables[0];
  rows.SetColumns({{Column::kRank, labels[kRank]},
                   {Column::kKey, labels[keyColumn]},
                   {Column::kHits, labels[kHits]},
                   {Column::kKBytes, labels[kKBytes]},
                   {Column::kPercent, labels[kPercent]},
                   {Column::kGraph, labels[kGraph]}});
  FillRanked(rows, state, table, limit, FloatHitSum(table.slots, table.used), totalLabel,
             [](const auto&, TableRow&) {});
  return section;
}

}  // namespace

bool BrowsersOn(const ReportInput& state) {
  return state.settings.showBrowsers && state.tallies.agents.browsers.used != 0;
}

bool SystemsOn(const ReportInput& state) {
  return state.settings.showSystems && state.tallies.agents.systems.used != 0;
}

bool CrawlersOn(const ReportInput& state) {
  return state.settings.showCrawlers && SharesOf(state.tallies.agents).totalHits != 0;
}

SectionRows BrowserRows(const ReportInput& state) {
  return FamilyRows(state, state.tallies.agents.browsers, kBrowsers, kBrowser,
                    state.settings.maxBrowsers, kTotalBrowsers);
}

SectionRows SystemRows(const ReportInput& state) {
  return FamilyRows(state, state.tallies.agents.systems, kOperatingSystems, kOperatingSystem,
                    state.settings.maxSystems, kTotalSystems);
}

namespace {

// People, crawlers and AI: their shares of the hits and bytes of every
// line with a user agent.
void AddShareTable(const ReportInput& state, const Shares& shares, SectionRows& section) {
  const ReportLabels& labels = state.labels;
  SectionTable& summary = section.tables.emplace_back();
  summary.keys = KeyOrigin::kOwnText;
  summary.SetColumns({{Column::kKey, labels[kAgentClassColumn]},
                      {Column::kHits, labels[kHits]},
                      {Column::kPercent, labels[kPercent]},
                      {Column::kKBytes, labels[kKBytes]},
                      {Column::kBytePercent, labels[kPercent]},
                      {Column::kGraph, labels[kGraph]}});
  int64_t largest = 0;
  for (int64_t hits : shares.hits) largest = std::max(largest, hits);
  summary.barScale = BarScale(largest, state.settings.graphWidth);
  for (size_t g = 0; g < kShareGroups; ++g) {
    TableRow& row = summary.AddRow(labels[kShareLabels[g]], shares.hits[g]);
    row.kiloBytes = shares.bytes[g] * 0.001;
    row.percent =
        Percent(static_cast<double>(shares.hits[g]), static_cast<double>(shares.totalHits));
    // Lines of no bytes at all give every group no share of them.
    row.bytePercent = shares.totalBytes > 0 ? Percent(shares.bytes[g], shares.totalBytes) : 0;
  }
}

// Every crawler and bot, its share of all the lines with an agent.
void AddCrawlerTable(const ReportInput& state, const Shares& shares, SectionRows& section) {
  const ReportLabels& labels = state.labels;
  SectionTable& bots = section.tables.emplace_back();
  bots.caption = labels[kCrawlers];
  bots.SetColumns({{Column::kRank, labels[kRank]},
                   {Column::kKey, labels[kCrawler]},
                   {Column::kText1, labels[kAgentClassColumn]},
                   {Column::kText2, labels[kCrawlerOperator]},
                   {Column::kHits, labels[kHits]},
                   {Column::kKBytes, labels[kKBytes]},
                   {Column::kPercent, labels[kPercent]},
                   {Column::kGraph, labels[kGraph]}});
  FillRanked(bots, state, state.tallies.agents.bots, state.settings.maxCrawlers,
             static_cast<double>(shares.totalHits), kTotalCrawlers,
             [](const BotEntry& entry, TableRow& row) {
               row.texts[0] = AgentClassName(static_cast<AgentClass>(entry.visitorClass));
               row.texts[1] = entry.operatorName.view();
             });
}

// What AI crawlers read, when they read anything.
void AddAiPageTable(const ReportInput& state, SectionRows& section) {
  const ReportLabels& labels = state.labels;
  const AiPageTable& pages = state.tallies.agents.aiPages;
  if (pages.used == 0) return;
  SectionTable& ai = section.tables.emplace_back();
  ai.caption = labels[kAiPages];
  ai.SetColumns({{Column::kRank, labels[kRank]},
                 {Column::kKey, labels[kPage]},
                 {Column::kHits, labels[kHits]},
                 {Column::kPercent, labels[kPercent]},
                 {Column::kGraph, labels[kGraph]}});
  const float total = FloatHitSum(pages.slots, pages.used);
  ai.barScale = BarScale(pages.slots[0].hits, state.settings.graphWidth);
  ai.ReserveRows(pages.used, state.settings.maxCrawlers);
  RankedWalk(pages.slots, state.settings.maxCrawlers,
             [&](const KeyCountEntry& entry, int64_t rank) {
               TableRow& row = ai.AddRow(entry.key.view(), entry.hits);
               row.rank = rank;
               if (!IsScriptAddress(row.key)) row.link = LinkTo::kKey;
               row.percent = Percent(static_cast<double>(entry.hits), total);
             });
}

}  // namespace

SectionRows CrawlerRows(const ReportInput& state) {
  const Shares shares = SharesOf(state.tallies.agents);
  SectionRows section{state.labels[kCrawlersAndAgents], {}};
  AddShareTable(state, shares, section);
  AddCrawlerTable(state, shares, section);
  AddAiPageTable(state, section);
  return section;
}

void WriteVisitorShares(const ReportInput&, const SectionRows& rows, ReportWriter& out) {
  const SectionTable& summary = rows.tables.front();
  // One bar, a part per group in the page's own colours. The table below
  // holds the same values, so the bar is hidden from screen readers.
  static constexpr std::string_view kColours[kShareGroups] = {"var(--bar)", "var(--mut)",
                                                              "#d9822b"};
  out.Write(
      "<div aria-hidden=true style=\"display:flex;height:1.1rem;border-radius:4px;"
      "overflow:hidden;margin:0 0 1rem;background:var(--alt)\">");
  for (size_t g = 0; g < summary.rows.size(); ++g) {
    const TableRow& row = summary.rows[g];
    if (row.hits == 0) continue;
    out.Write("<span style=\"flex:0 0 ");
    out.Write(FormatFixed(row.percent, 2));
    out.Write("%;background:");
    out.Write(kColours[g]);
    out.Write("\"></span>");
  }
  out.Write("</div>\n");
}

}  // namespace logvane
