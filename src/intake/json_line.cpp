#include "intake/json_line.h"

#ifdef LOGVANE_HAVE_SIMDJSON

#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "intake/json_text.h"
#include "intake/log_reader.h"

namespace logvane {

namespace {

namespace od = simdjson::ondemand;

// Keys are looked up for every member of every line: a table by length
// and first letter leaves one or two comparisons.
class KeyTable {
 public:
  KeyTable() : names_(NamedFields()) {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (names_[i].json == FieldRole::kOther) continue;
      for (uint8_t& slot : slots_[Slot(names_[i].name)]) {
        if (slot != 0) continue;
        slot = static_cast<uint8_t>(i + 1);
        break;
      }
    }
  }
  FieldRole Find(std::string_view name) const {
    if (name.empty()) return FieldRole::kOther;
    for (uint8_t index : slots_[Slot(name)]) {
      if (index != 0 && names_[index - 1].name == name) return names_[index - 1].json;
    }
    return FieldRole::kOther;
  }

 private:
  static size_t Slot(std::string_view name) {
    return (name.size() * 7 + static_cast<unsigned char>(name[0]) * 3 +
            static_cast<unsigned char>(name.back())) %
           kSlots;
  }
  static constexpr size_t kSlots = 251;
  std::span<const NamedField> names_;
  uint8_t slots_[kSlots][4] = {};  // no more than three names share one
};

FieldRole KeyOf(std::string_view name) {
  static const KeyTable table;
  return table.Find(name);
}

// The raw text of a key: up to its closing quote.
std::string_view KeyText(const char* start, const char* end) {
  const char* p = start;
  while (p < end && *p != '"') p += *p == '\\' ? 2 : 1;
  return std::string_view(start, static_cast<size_t>((p < end ? p : end) - start));
}

}  // namespace

struct JsonLineParser::State {
  od::parser parser;
  // The line copied with the padding simdjson reads past its end.
  char buffer[kFormatPieceWidth + simdjson::SIMDJSON_PADDING];

  // Copies the line beside its padding and starts the on-demand parse.
  bool Open(std::string_view line, od::document& doc);
  // The text of a member's value whose raw token is `token`: a string
  // decoded into `store` (at most `room` bytes, added to `*used`), a number
  // or literal as it stands; none for an object, an array or null.
  std::string_view ValueOf(std::string_view token, std::string_view line, char* store, size_t room,
                           size_t* used) const;
};

JsonLineParser::JsonLineParser() : state_(std::make_unique<State>()) {
  // Failing here only defers the allocation to the first line.
  if (state_->parser.allocate(kFormatPieceWidth + simdjson::SIMDJSON_PADDING)) return;
}

JsonLineParser::~JsonLineParser() = default;

namespace {

// What a line's members give beyond the record's own fields: the values a
// preferred key may replace, and the times in the order they stand.
struct Collected {
  std::string_view bodyBytes, bytes, referer, agent, path;
  std::string_view timeText[4];
  FieldRole timeRole[4];
  int times = 0;
  // The time taken of the most preferred key seen (0 best), and its form.
  std::string_view timeTaken;
  TimeTakenForm timeTakenForm;
  int timeTakenRank = 99;
};

// How much a key that logs the time taken is preferred: the request's own
// time first, an upstream's last, TIMEFIELD's key above all.
int TimeTakenRank(std::string_view key) {
  if (key == "request_time") return 1;
  if (key == "response_time") return 2;
  if (key == "duration") return 3;
  return 4;  // upstream_response_time
}

// Puts the value of a member with `role` where it belongs.
// The first of a JSON log's client keys wins, and the bytes and the
// extras' fallbacks are settled once every member is read.
void Take(FieldRole role, std::string_view text, LineFields& f, Collected& c) {
  switch (role) {
    case FieldRole::kClient:
      if (f.client.data() == nullptr) f.client = text;
      return;
    case FieldRole::kPath: c.path = text; return;
    case FieldRole::kBodyBytes: c.bodyBytes = text; return;
    case FieldRole::kBytes: c.bytes = text; return;
    case FieldRole::kReferer: c.referer = text; return;
    case FieldRole::kUserAgent: c.agent = text; return;
    default: break;
  }
  if (PutField(role, text, f) || !IsTimeRole(role) || c.times == 4) return;
  c.timeRole[c.times] = role;
  c.timeText[c.times++] = text;
}

// The fields that only a preferred key or a fallback settles, once every
// member is read; false when the line lacks a time or a request.
bool Settle(const LogFormat& format, const Collected& c, LineFields& f) {
  if (f.uri.data() == nullptr) f.uri = c.path;
  f.bytes = c.bodyBytes.data() != nullptr ? c.bodyBytes : c.bytes;
  if (format.extraKey[0] == "http_referer" && f.extra[0].data() == nullptr) f.extra[0] = c.referer;
  f.agent = c.agent;
  if (format.extraKey[1] == "http_user_agent" && f.extra[1].data() == nullptr) {
    f.extra[1] = c.agent;
  }
  for (int i = 0; i < c.times && !f.hasTime; ++i) {
    f.hasTime = ReadTimeField(c.timeRole[i], c.timeText[i], &f.time);
    f.timeRole = c.timeRole[i];
    f.timeText = c.timeText[i];
  }
  f.timeTaken = c.timeTaken;
  f.timeTakenForm = c.timeTakenForm;
  return f.hasTime && (f.request.data() != nullptr || f.uri.data() != nullptr);
}

// The request's parts and the user agent (classified whole) are read whole; every other field the
// record keeps is at most about 100 bytes wide.
bool ReadWhole(FieldRole role) {
  return role == FieldRole::kRequest || role == FieldRole::kMethod || role == FieldRole::kUri ||
         role == FieldRole::kPath || role == FieldRole::kProtocol || role == FieldRole::kUserAgent;
}

}  // namespace

bool JsonLineParser::State::Open(std::string_view line, od::document& doc) {
  std::memcpy(buffer, line.data(), line.size());
  std::memset(buffer + line.size(), ' ', simdjson::SIMDJSON_PADDING);
  auto iterate = [&] {
    return parser.iterate(buffer, line.size(), line.size() + simdjson::SIMDJSON_PADDING).get(doc);
  };
  simdjson::error_code error = iterate();
  if (error == simdjson::UTF8_ERROR) {
    // Servers copy the bytes of headers as they came, which need not be
    // UTF-8. The copy gets a plain byte in their place so that the object's
    // shape can be read; values are always taken from the line itself.
    for (size_t i = 0; i < line.size(); ++i) {
      if (static_cast<unsigned char>(buffer[i]) >= 0x80) buffer[i] = 'x';
    }
    error = iterate();
  }
  return !error;
}

std::string_view JsonLineParser::State::ValueOf(std::string_view token, std::string_view line,
                                                char* store, size_t room, size_t* used) const {
  size_t offset = static_cast<size_t>(token.data() - buffer);
  if (token.data() < buffer || offset >= line.size()) return {};
  // Decoded, or taken as it stands, from the same place in the line.
  std::string_view original = line.substr(offset);
  if (original[0] == '"') {
    DecodedText d = DecodeJsonText(original.substr(1), store, room);
    *used += d.size;
    return std::string_view(store, d.size);
  }
  if (original[0] == '{' || original[0] == '[' || token.starts_with("null")) return {};
  size_t k = 0;
  while (k < token.size() && token[k] != ' ' && token[k] != '\t' && token[k] != '\r' &&
         token[k] != '\n') {
    ++k;
  }
  return original.substr(0, k);
}

bool JsonLineParser::Parse(const LogFormat& format, std::string_view line, LineFields& f,
                           char* store, size_t capacity, size_t* used) {
  ClearLineFields(f);
  *used = 0;
  od::document doc;
  od::object object;
  if (line.size() > kFormatPieceWidth || !state_->Open(line, doc) || doc.get_object().get(object)) {
    return false;
  }
  const char* bufferEnd = state_->buffer + line.size();
  Collected collected;
  for (auto member : object) {
    if (member.error()) return false;
    od::field& field = member.value_unsafe();
    std::string_view key = KeyText(field.key().raw(), bufferEnd);
    bool extra[2];
    for (int e = 0; e < 2; ++e) extra[e] = !format.extraKey[e].empty() && key == format.extraKey[e];
    FieldRole role = KeyOf(key);
    // Under TIMEFIELD only its key gives the time taken.
    const std::string& timeKey = format.timeTaken.key;
    bool timed = timeKey.empty() ? role == FieldRole::kTimeTaken : key == timeKey;
    if (role == FieldRole::kTimeTaken && !timed) role = FieldRole::kOther;
    if (role == FieldRole::kOther && !extra[0] && !extra[1] && !timed) continue;
    size_t room = std::min(ReadWhole(role) ? capacity : 128, capacity - *used);
    std::string_view text =
        state_->ValueOf(field.value().raw_json_token(), line, store + *used, room, used);
    if (text.data() == nullptr) continue;
    for (int e = 0; e < 2; ++e) {
      if (extra[e]) f.extra[e] = text;
    }
    if (timed) {
      int rank = timeKey.empty() ? TimeTakenRank(key) : 0;
      if (rank < collected.timeTakenRank) {
        collected.timeTakenRank = rank;
        collected.timeTaken = text;
        collected.timeTakenForm = timeKey.empty() ? TimeTakenFormOf(key).value_or(TimeTakenForm{})
                                                  : format.timeTaken.form;
      }
      if (role == FieldRole::kTimeTaken) continue;
    }
    Take(role, text, f, collected);
  }
  return Settle(format, collected, f);
}

}  // namespace logvane

#else  // Built without simdjson: no format ever asks for a JSON parser.

namespace logvane {

struct JsonLineParser::State {};
JsonLineParser::JsonLineParser() = default;
JsonLineParser::~JsonLineParser() = default;

bool JsonLineParser::Parse(const LogFormat&, std::string_view, LineFields&, char*, size_t,
                           size_t* used) {
  *used = 0;
  return false;
}

}  // namespace logvane

#endif  // LOGVANE_HAVE_SIMDJSON
