#include "intake/line_preparer.h"

namespace logvane {

LinePreparer::LinePreparer(const LineRules& rules, const LogFormat& format) : rules_(rules) {
  if (format.kind != FormatKind::kMarkers) parser_.emplace(format);
}

size_t LinePreparer::Prepare(const LinePiece& piece, char* store, PreparedLine& p) {
  size_t used = 0;
  if (!parser_) {
    ParseLogLine(piece.text, rules_.format, p.record);
    if (rules_.format.readClock) ReadBracketClock(p.record);
  } else if (piece.full) {
    BeginRecord(p.record, piece.text);
    p.record.bracketFault = LineFault::kTooLong;
  } else {
    used = parser_->ParseInto(piece.text, rules_.format, p.record, store);
  }
  PlanLine(rules_, p);
  return used;
}

}  // namespace logvane
