#include "intake/format_parser.h"

#include "intake/text_line.h"

namespace logvane {

FormatParser::FormatParser(const LogFormat& format) : format_(format) {
  if (format.kind == FormatKind::kJson) json_ = std::make_unique<JsonLineParser>();
}

void FormatParser::Parse(std::string_view line, const LineFormat& format, LogRecord& record) {
  BeginRecord(record, line);
  size_t used = 0;
  bool matched = json_ != nullptr
                     ? json_->Parse(format_, line, fields_, record.ownText, kRecordTextWidth, &used)
                     : MatchTextLine(format_, line, fields_);
  if (!matched) {
    record.bracketFault = LineFault::kNoMatch;
    return;
  }
  FillRecordFromFields(fields_, format, used, record);
}

}  // namespace logvane
