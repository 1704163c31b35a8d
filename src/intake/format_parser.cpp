#include "intake/format_parser.h"

#include "intake/text_line.h"

namespace logvane {

FormatParser::FormatParser(const LogFormat& format)
    : format_(format), stores_(std::make_unique<char[]>(2 * kRecordTextWidth)) {
  if (format.kind == FormatKind::kJson) json_ = std::make_unique<JsonLineParser>();
}

void FormatParser::Parse(std::string_view line, const LineFormat& format, LogRecord& record) {
  char* store = stores_.get() + nextStore_ * kRecordTextWidth;
  nextStore_ ^= 1;
  ParseInto(line, format, record, store);
}

size_t FormatParser::ParseInto(std::string_view line, const LineFormat& format, LogRecord& record,
                               char* store) {
  BeginRecord(record, line);
  size_t used = 0;
  bool matched = json_ != nullptr
                     ? json_->Parse(format_, line, fields_, store, kRecordTextWidth, &used)
                     : MatchTextLine(format_, line, fields_);
  if (!matched) {
    record.bracketFault = LineFault::kNoMatch;
    return used;
  }
  return used + FillRecordFromFields(fields_, format, store, used, record);
}

}  // namespace logvane
