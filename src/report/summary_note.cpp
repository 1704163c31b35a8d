#include "report/summary_note.h"

namespace logvane {

std::string SummaryBoundNote(const ReportLabels& labels, int64_t bound, bool bytes) {
  std::string note =
      labels[kSummaryBoundBefore] + " " + std::to_string(bound) + " " + labels[kSummaryBoundAfter];
  if (bytes) note += " " + labels[kSummaryBytes];
  return note;
}

}  // namespace logvane
