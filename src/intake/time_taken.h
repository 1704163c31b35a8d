// The time a server took for a request, from the text of the field that
// logs it, in whole microseconds. Apache writes whole numbers in the unit
// of its directive (%D microseconds, %T seconds, %{s|ms|us}T); nginx writes
// seconds with milliseconds ($request_time), and a list for the upstream
// times, one number per server tried, joined by ", " or, across an internal
// redirect, " : " ($upstream_response_time: the time taken is the sum;
// "-" is a server that gave no time). JSON logs write numbers, in seconds
// unless their key or the TIMEFIELD setting says otherwise.
//
// Any decimal number is read in any unit, with a fraction and an exponent
// (1.5e-05: JSON writers use it for small values), and rounded to the
// nearest microsecond. Anything else is no value: "-", an empty field,
// text, a sign, a number beyond 64 bits of microseconds. Nothing is
// allocated and no input can make the parser fail otherwise.
#ifndef LOGVANE_INTAKE_TIME_TAKEN_H_
#define LOGVANE_INTAKE_TIME_TAKEN_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/status.h"

namespace logvane {

enum class TimeUnit : uint8_t { kSeconds, kMilliseconds, kMicroseconds, kNanoseconds };

// How a field's text reads as a time taken.
struct TimeTakenForm {
  TimeUnit unit = TimeUnit::kSeconds;
  bool list = false;  // numbers joined by "," or ":", summed
  bool operator==(const TimeTakenForm&) const = default;
};

// The microseconds of `text`, rounded to the nearest; false when it holds
// no value.
bool ParseTimeTaken(std::string_view text, TimeTakenForm form, uint64_t* micros);

// The form of a field known to log the time taken, by its directive as
// written in a log format (%D, %T, %{s}T, %{ms}T, %{us}T, $request_time,
// $upstream_response_time and the other $upstream_*_time), by the name the
// format compiler gives it (request_time, request_time_us) or by a JSON key
// (request_time, upstream_response_time, duration, response_time: seconds);
// none for any other field.
std::optional<TimeTakenForm> TimeTakenFormOf(std::string_view field);

// A TIMEFIELD value: a field as above or any other JSON key, with an
// optional unit after a colon (s, ms, us or ns):
//   TIMEFIELD=$upstream_response_time   TIMEFIELD=duration_ms:ms
// Without a unit a known field keeps its own and any other key is in
// seconds; an nginx $upstream_ variable (or a key upstream_...) takes a
// list whatever its unit.
struct TimeFieldChoice {
  std::string_view field;  // as written, without the unit
  TimeTakenForm form;
};
Status ParseTimeFieldSetting(std::string_view value, TimeFieldChoice* choice);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_TIME_TAKEN_H_
