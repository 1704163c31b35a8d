#include "report/top_nations.h"

#include "report/table_pattern.h"

namespace logvane {

void WriteTopNations(const ReportInput& state, ReportWriter& out) {
  const NationTally& nations = state.tallies.nations;

  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  WriteHeading(out, labels[kTopNations]);
  WriteTableStart(out);
  WriteHeaderRow(out,
                 {labels[kRank], labels[kNation], labels[kHits], labels[kPercent], labels[kGraph]});
  float barScale = BarScale(nations.entries[0].hits, settings.graphWidth);
  int64_t unique = RankedWalk(
      nations.entries, settings.maxNations, [&](const NationEntry& nation, int64_t rank) {
        out.Write("<tr><td>");
        out.WriteInt(rank);
        out.Write("</td><td>");
        // The names are our own fixed texts, written as they stand.
        out.Write(nation.name.view());
        out.Write("</td><td>");
        out.WriteInt(nation.hits);
        out.Write("</td><td>");
        WritePercent(out, static_cast<double>(nation.hits), static_cast<double>(nations.total));
        WriteGraphCell(out, settings, BarWidth(nation.hits, barScale));
      });
  WriteTableEnd(out);
  WriteTotalLine(out, labels[kTotalUniqueNations], unique);
  WriteSectionEnd(out);
}

}  // namespace logvane
