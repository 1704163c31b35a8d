#include "report/top_nations.h"

#include "report/table_pattern.h"

namespace logvane {

SectionRows NationRows(const ReportInput& state) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const NationTally& nations = state.tallies.nations;
  SectionRows section{labels[kTopNations], {SectionTable{}}};
  SectionTable& table = section.tables[0];
  table.SetColumns({{Column::kRank, labels[kRank]},
                    {Column::kKey, labels[kNation]},
                    {Column::kHits, labels[kHits]},
                    {Column::kPercent, labels[kPercent]},
                    {Column::kGraph, labels[kGraph]}});
  // The names are our own fixed texts, written as they stand.
  table.keys = KeyOrigin::kOwnText;
  table.barScale = BarScale(nations.entries[0].hits, settings.graphWidth);
  table.ReserveRows(nations.used, settings.maxNations);
  int64_t unique = RankedWalk(
      nations.entries, settings.maxNations, [&](const NationEntry& nation, int64_t rank) {
        TableRow& row = table.AddRow(nation.name.view(), nation.hits);
        row.rank = rank;
        row.percent = Percent(static_cast<double>(nation.hits), static_cast<double>(nations.total));
      });
  table.totals.push_back({labels[kTotalUniqueNations], std::to_string(unique)});
  return section;
}

}  // namespace logvane
