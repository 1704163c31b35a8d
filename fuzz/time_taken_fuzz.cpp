// Any bytes as the text of a time-taken field: the first byte chooses the
// unit and whether a list is read, the rest is the field. The parser must
// end normally, and what it reads must agree with itself: a number printed
// back reads as the same microseconds, a lone number reads the same as a
// list of one, two numbers in a list read as their sum, and the TIMEFIELD
// reader takes the text as a field name or refuses it with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "intake/time_taken.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  if (size < 1) return 0;
  auto check = [](bool ok) {
    if (!ok) std::abort();
  };
  TimeTakenForm form{static_cast<TimeUnit>(data[0] & 3), (data[0] & 4) != 0};
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  uint64_t micros = 0;
  bool read = ParseTimeTaken(text, form, &micros);

  if (read) {
    uint64_t again = 0;
    check(ParseTimeTaken(std::to_string(micros), {TimeUnit::kMicroseconds, false}, &again));
    check(again == micros);
  }
  if (read && !form.list) {
    uint64_t listed = 0;
    check(ParseTimeTaken(text, {form.unit, true}, &listed) && listed == micros);
    std::string twice = std::string(text) + ", " + std::string(text);
    uint64_t sum = 0;
    uint64_t expected = 0;
    bool fits = !__builtin_add_overflow(micros, micros, &expected);
    check(ParseTimeTaken(twice, {form.unit, true}, &sum) == fits);
    if (fits) check(sum == expected);
  }

  TimeFieldChoice choice;
  Status status = ParseTimeFieldSetting(text, &choice);
  check(status.ok() ? !choice.field.empty() : !status.message().empty());
  return 0;
}
