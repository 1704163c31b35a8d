// A JSON log line (one object per line, as nginx writes with escape=json)
// read with simdjson's on-demand parser. The keys that fill the record are
// the ones nginx users give them (remote_addr, time_local, request, ...);
// their string values are decoded into the record's own store.
#ifndef LOGVANE_INTAKE_JSON_LINE_H_
#define LOGVANE_INTAKE_JSON_LINE_H_

#include <memory>
#include <string_view>

#include "intake/line_fields.h"
#include "intake/log_format.h"

namespace logvane {

class JsonLineParser {
 public:
  // Allocates the parser and its padded line buffer once.
  JsonLineParser();
  ~JsonLineParser();
  JsonLineParser(const JsonLineParser&) = delete;
  JsonLineParser& operator=(const JsonLineParser&) = delete;

  // Finds the fields of `line`, decoding into `store` (`capacity` bytes);
  // `*used` tells how much of it was taken. False when the line is no JSON
  // object, or it lacks a readable time or a request.
  bool Parse(const LogFormat& format, std::string_view line, LineFields& fields, char* store,
             size_t capacity, size_t* used);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_JSON_LINE_H_
