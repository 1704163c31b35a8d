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

namespace time_taken_detail {

// Every form (ParseTimeTaken's).
bool ParseAnyTimeTaken(std::string_view text, TimeTakenForm form, uint64_t* micros);

// The usual forms at a few instructions a byte, inline where lines are
// read: digits, or digits with a fraction no finer than the microseconds
// (0.123 s, 1500 us), short enough that the value fits 64 bits. False
// means "not of this form", and the full reader then decides.
inline bool ParsePlainTimeTaken(std::string_view text, TimeUnit unit, uint64_t* micros) {
  static constexpr uint64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const int exponent = unit == TimeUnit::kSeconds        ? 6
                       : unit == TimeUnit::kMilliseconds ? 3
                       : unit == TimeUnit::kMicroseconds ? 0
                                                         : -1;
  const size_t n = text.size();
  if (n - 1 >= 19 || exponent < 0) return false;  // empty, too long, or nanoseconds
  const char* p = text.data();
  const char* end = p + n;
  uint64_t mantissa = 0;  // below 10^19
  unsigned digit;
  while (p < end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) <= 9) {
    mantissa = mantissa * 10 + digit;
    ++p;
  }
  const size_t whole = n - static_cast<size_t>(end - p);
  // Scaled, the value stays below 10^19, and so within 64 bits.
  if (whole == 0 || whole + static_cast<size_t>(exponent) > 19) return false;
  int fraction = 0;
  if (p < end) {
    // nginx's milliseconds, "0.057", and any other fraction the unit holds.
    if (*p != '.' || end - p - 1 > exponent) return false;
    fraction = static_cast<int>(end - p - 1);
    for (++p; p < end; ++p) {
      digit = static_cast<unsigned char>(*p) - unsigned{'0'};
      if (digit > 9) return false;
      mantissa = mantissa * 10 + digit;
    }
  }
  *micros = mantissa * kPowers[exponent - fraction];
  return true;
}

}  // namespace time_taken_detail

// The microseconds of `text`, rounded to the nearest; false when it holds
// no value.
inline bool ParseTimeTaken(std::string_view text, TimeTakenForm form, uint64_t* micros) {
  if (!form.list && time_taken_detail::ParsePlainTimeTaken(text, form.unit, micros)) return true;
  return time_taken_detail::ParseAnyTimeTaken(text, form, micros);
}

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
