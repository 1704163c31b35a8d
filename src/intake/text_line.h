// A line read by an Apache or nginx format string: literal texts must
// stand where the format puts them, and each field runs to the next one.
#ifndef LOGVANE_INTAKE_TEXT_LINE_H_
#define LOGVANE_INTAKE_TEXT_LINE_H_

#include <string_view>

#include "intake/line_fields.h"
#include "intake/log_format.h"

namespace logvane {

// Finds the fields of `line` (its line end is ignored) by `format`, a
// compiled kText format. False when the line does not fit: a literal text
// missing, or a time that cannot be read. Text after the last item is
// allowed, so a log with fields added at the end still reads.
bool MatchTextLine(const LogFormat& format, std::string_view line, LineFields& fields);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_TEXT_LINE_H_
