// What a section adds below a table that evicted keys (TABLES=SUMMARY):
// the note with the table's bound and, for each row, whether its rank is
// guaranteed. A table that never ran full adds nothing.
#ifndef LOGVANE_REPORT_SUMMARY_NOTE_H_
#define LOGVANE_REPORT_SUMMARY_NOTE_H_

#include <cstdint>
#include <string>

#include "config/report_labels.h"
#include "report/section_rows.h"
#include "tally/table_summary.h"

namespace logvane {

// "Counts may exceed the true count by at most E hits; every key with more
// hits is listed.", and the byte sentence when the rows show K bytes.
std::string SummaryBoundNote(const ReportLabels& labels, int64_t bound, bool bytes);

// For a table sorted by hits whose rows are its first slots in order.
template <typename Table>
void AddSummaryNote(const ReportLabels& labels, const Table& table, SectionTable& rows,
                    bool bytes) {
  if (!SummaryEvicted(table.summary)) return;
  const int64_t bound = SummaryBound(table.summary);
  for (size_t i = 0; i < rows.rows.size(); ++i) {
    // Past the last slot, a key outside the table may have up to the bound.
    const int64_t next = i + 1 < table.used ? table.slots[i + 1].hits : bound;
    rows.rows[i].rankGuaranteed =
        RankGuaranteed(table.slots[i].hits, table.summary.overcount[i], next);
  }
  rows.boundNote = SummaryBoundNote(labels, bound, bytes);
  rows.rankMark = labels[kRankGuaranteed];
}

}  // namespace logvane

#endif  // LOGVANE_REPORT_SUMMARY_NOTE_H_
