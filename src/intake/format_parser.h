// The one entry through which a line of any configured log format other
// than the marker parser's becomes a record: an Apache or nginx format
// string, a preset, or JSON lines. One parser per reading thread; it owns
// what it reuses from line to line and allocates nothing per line.
#ifndef LOGVANE_INTAKE_FORMAT_PARSER_H_
#define LOGVANE_INTAKE_FORMAT_PARSER_H_

#include <memory>
#include <string_view>

#include "intake/json_line.h"
#include "intake/line_fields.h"
#include "intake/log_format.h"
#include "intake/log_parser.h"

namespace logvane {

struct FormattedFaults {
  LineFault line;  // kNone, or kNoMatch: nothing else of the record holds
  LineFault page;  // the page's fault, as the marker parser names it
};

class FormatParser {
 public:
  // `format` is a compiled kText or kJson format that outlives the parser.
  explicit FormatParser(const LogFormat& format);

  // Begins `record` on `line` and fills it.
  FormattedFaults Parse(std::string_view line, const ParseOptions& options, LogRecord& record);

 private:
  const LogFormat& format_;
  std::unique_ptr<JsonLineParser> json_;
  LineFields fields_;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_FORMAT_PARSER_H_
