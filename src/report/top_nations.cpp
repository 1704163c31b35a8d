#include "report/top_nations.h"

#include "report/table_pattern.h"

namespace logvane {

void WriteTopNations(RunState& state, ReportWriter& out) {
  const ReportLabels& labels = state.labels;
  WriteHeading(out, labels[kTopNations]);
  WriteTableStart(out);
  WriteHeaderRow(out, {labels[kRank], labels[kNation], labels[kHits], labels[kPercent],
                       labels[kGraph]});
  WriteTableEnd(out);
  WriteTotalLine(out, labels[kTotalUniqueNations], 0);
  WriteSectionEnd(out);
}

}  // namespace logvane
