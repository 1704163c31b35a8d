// The console text of a line the parser gave up on.
#ifndef LOGVANE_INTAKE_LINE_FAULTS_H_
#define LOGVANE_INTAKE_LINE_FAULTS_H_

#include <string_view>

#include "intake/log_parser.h"
#include "platform/console.h"

namespace logvane {

// Writes the console text of `fault` for `line` (nothing for kNone and for
// kNoMatch, which standard error sums up at the end).
void ReportLineFault(LineFault fault, std::string_view line, Console& console);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LINE_FAULTS_H_
