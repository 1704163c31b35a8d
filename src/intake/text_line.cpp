#include "intake/text_line.h"

#include "intake/byte_search.h"

namespace logvane {

namespace {

// The first `literal` in line[from, end), or npos. A quoted field ends only
// at a quote that no backslash escapes, as Apache and nginx write `\"`.
size_t FindLiteral(std::string_view line, size_t from, std::string_view literal, bool quoted) {
  const char* base = line.data();
  for (;;) {
    size_t at = FindByte(line, literal[0], from, line.size());
    if (at == std::string_view::npos) return at;
    bool escaped = false;
    if (quoted) {
      for (size_t b = at; b > 0 && base[b - 1] == '\\'; --b) escaped = !escaped;
    }
    if (!escaped && HasAt(line, at, literal)) return at;
    from = at + 1;
  }
}

}  // namespace

bool MatchTextLine(const LogFormat& format, std::string_view line, LineFields& f) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  ClearLineFields(f);
  const auto& items = format.items;
  size_t pos = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    const FormatItem& item = items[i];
    if (!item.literal.empty()) {
      if (!HasAt(line, pos, item.literal)) return false;
      pos += item.literal.size();
      continue;
    }
    size_t end = line.size();
    if (i + 1 < items.size()) {
      end = FindLiteral(line, pos, items[i + 1].literal, item.quoted);
      if (end == std::string_view::npos) return false;
    }
    std::string_view text = line.substr(pos, end - pos);
    pos = end;
    if (static_cast<int>(i) == format.extraItem[0]) f.extra[0] = text;
    if (static_cast<int>(i) == format.extraItem[1]) f.extra[1] = text;
    if (static_cast<int>(i) == format.agentItem) f.agent = text;
    if (item.field.role == FieldRole::kTimeTaken) {
      f.timeTaken = text;
      f.timeTakenForm = format.timeTaken.form;
    } else if (!PutField(item.field.role, text, f) && !f.hasTime) {
      // The first time field that reads gives the day and hour.
      f.hasTime = ReadTimeField(item.field.role, text, &f.time);
      f.timeRole = item.field.role;
      f.timeText = text;
    }
  }
  return f.hasTime;
}

}  // namespace logvane
