// A state as one JSON object, for scripts and dashboards (the schema is in
// doc/state-format.md). Texts from logs are escaped so the result is JSON
// whatever bytes they hold.
#ifndef LOGVANE_STATE_STATE_JSON_H_
#define LOGVANE_STATE_STATE_JSON_H_

#include <string>
#include <string_view>

#include "state/state_codec.h"

namespace logvane {

// `text` as a JSON string with its quotes: valid UTF-8 passes as it is,
// '"', '\' and control bytes are escaped, and each byte of an invalid
// sequence is written as \u00XX (the byte read as Latin-1).
std::string JsonString(std::string_view text);

// The whole state on one line, without a line end.
std::string StateJson(const Tallies& tallies, const RunCounters& counters, const StateFacts& facts);

}  // namespace logvane

#endif  // LOGVANE_STATE_STATE_JSON_H_
