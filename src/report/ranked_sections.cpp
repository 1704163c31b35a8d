#include "report/ranked_sections.h"

#include "common/ascii_text.h"
#include "report/summary_note.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

// Whether a section's keys are links: always, never, or when one is a URL.
enum class KeyLinks { kAlways, kNever, kWhenHttp };

struct RankedSection {
  int heading;
  int keyColumn;
  int countColumn;
  int totalLabel;
  KeyLinks links;
};

template <typename Table>
SectionRows RankedRows(const ReportInput& state, const Table& table, int32_t limit,
                       const RankedSection& kind) {
  const ReportLabels& labels = state.labels;
  SectionRows section{labels[kind.heading], {SectionTable{}}};
  SectionTable& rows = section.tables[0];
  rows.SetColumns({{Column::kRank, labels[kRank]},
                   {Column::kKey, labels[kind.keyColumn]},
                   {Column::kHits, labels[kind.countColumn]},
                   {Column::kPercent, labels[kPercent]},
                   {Column::kGraph, labels[kGraph]}});
  const float total = FloatHitSum(table.slots, table.used);
  rows.barScale = BarScale(table.slots[0].hits, state.settings.graphWidth);
  rows.ReserveRows(table.used, limit);
  int64_t unique = RankedWalk(table.slots, limit, [&](const KeyCountEntry& entry, int64_t rank) {
    TableRow& row = rows.AddRow(entry.key.view(), entry.hits);
    row.rank = rank;
    const bool link = kind.links == KeyLinks::kAlways ||
                      (kind.links == KeyLinks::kWhenHttp && StartsWithFolded(row.key, "http://"));
    // A key that reads as a script address is never a link.
    if (link && !IsScriptAddress(row.key)) row.link = LinkTo::kKey;
    row.percent = Percent(static_cast<double>(entry.hits), total);
  });
  rows.totals.push_back({labels[kind.totalLabel], std::to_string(unique)});
  AddSummaryNote(labels, table, rows, false);
  return section;
}

}  // namespace

SectionRows PageRows(const ReportInput& state) {
  return RankedRows(state, state.tallies.pages, state.settings.maxPages,
                    {kTopPages, kPage, kHits, kTotalUniquePages, KeyLinks::kAlways});
}

SectionRows DirectoryRows(const ReportInput& state) {
  return RankedRows(
      state, state.tallies.directories, state.settings.maxDirs,
      {kTopDirectories, kDirectory, kHits, kTotalUniqueDirectories, KeyLinks::kNever});
}

// In the Extra sections one label names the section and its key column.
SectionRows Extra1Rows(const ReportInput& state) {
  return RankedRows(state, state.tallies.extra1, state.settings.maxExtra1,
                    {kExtra1, kExtra1, kOccurrence, kTotalExtra1, KeyLinks::kNever});
}

SectionRows Extra2Rows(const ReportInput& state) {
  return RankedRows(state, state.tallies.extra2, state.settings.maxExtra2,
                    {kExtra2, kExtra2, kOccurrence, kTotalExtra2, KeyLinks::kWhenHttp});
}

}  // namespace logvane
