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

class FormatParser {
 public:
  // `format` is a compiled kText or kJson format that outlives the parser.
  explicit FormatParser(const LogFormat& format);

  // ParseLogLine for this format: begins `record` on `line` and fills it,
  // its faults included. A line that does not fit has the fault kNoMatch
  // in place of the bracket's and nothing else. Texts decoded or put
  // together for the record stay valid through the next call, as the
  // reader's pieces do, so one line can be parsed while the one before it
  // waits to be routed.
  void Parse(std::string_view line, const LineFormat& format, LogRecord& record);

  // The same with the texts put in `store`, kRecordTextWidth bytes the
  // caller owns and keeps as long as the record is needed. Gives the bytes
  // taken there: never more than twice the line plus 3 (decoding shortens
  // every text it copies, and a request put together from its parts adds
  // at most 3 bytes to them).
  size_t ParseInto(std::string_view line, const LineFormat& format, LogRecord& record, char* store);

 private:
  const LogFormat& format_;
  std::unique_ptr<JsonLineParser> json_;
  LineFields fields_;
  std::unique_ptr<char[]> stores_;  // two of kRecordTextWidth, used in turn
  int nextStore_ = 0;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_FORMAT_PARSER_H_
