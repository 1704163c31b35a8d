#include "report/response_codes.h"

#include "report/summary_note.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

void AddCodeRows(const ReportInput& state, SectionTable& table) {
  const ReportLabels& labels = state.labels;
  const ResponseCodeCounters& codes = state.tallies.codes;
  table.SetColumns({{Column::kCode, labels[kCode]},
                    {Column::kKey, labels[kDescription]},
                    {Column::kHits, labels[kHits]},
                    {Column::kPercent, labels[kPercent]}});
  table.keys = KeyOrigin::kOwnText;
  float total = 0;
  for (int64_t count : codes.counts) total += static_cast<float>(count);
  for (size_t i = 0; i < kResponseCounterCount; ++i) {
    const int64_t count = codes.counts[i];
    if (count <= 0) continue;
    // Counter 0 gathers every code without a counter of its own.
    TableRow& row = table.AddRow(labels[kUnknownCode + static_cast<int>(i)], count);
    row.code = CodeOfCounter(i);
    row.percent = Percent(static_cast<double>(count), total);
  }
}

void AddNotFoundRows(const ReportInput& state, SectionTable& table) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const NotFoundTable& notFound = state.tallies.notFound;
  table.caption = labels[kTopNotFound];
  table.SetColumns({{Column::kRank, labels[kRank]},
                    {Column::kKey, labels[kDirectory]},
                    {Column::kHits, labels[kHits]},
                    {Column::kPercent, labels[kPercent]},
                    {Column::kGraph, labels[kGraph]}});
  // Shares of all 404 answers: routing raises this counter with the table.
  const int64_t answers404 = ResponseCount(state.tallies.codes, 404);
  table.barScale = BarScale(notFound.slots[0].hits, settings.graphWidth);
  table.ReserveRows(notFound.used, settings.maxNotFound);
  RankedWalk(notFound.slots, settings.maxNotFound, [&](const KeyCountEntry& entry, int64_t rank) {
    TableRow& row = table.AddRow(entry.key.view(), entry.hits);
    row.rank = rank;
    row.percent = Percent(static_cast<double>(entry.hits), static_cast<double>(answers404));
  });
  AddSummaryNote(labels, notFound, table, false);
}

}  // namespace

SectionRows ResponseCodeRows(const ReportInput& state) {
  SectionRows section{state.labels[kResponseCodeTitle], {SectionTable{}, SectionTable{}}};
  AddCodeRows(state, section.tables[0]);
  AddNotFoundRows(state, section.tables[1]);
  return section;
}

}  // namespace logvane
