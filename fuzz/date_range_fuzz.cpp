// Any bytes as a FROM= or UNTIL= value: the first byte chooses which. The
// reader must end normally, refuse with a reason or give a bound within
// the years it reads, and a bound must be where it says: written back as a
// time it reads the same, and a record at it is kept while one a second
// before it is not (FROM), or the other way round (UNTIL).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "config/date_range.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  if (size < 1) return 0;
  auto check = [](bool ok) {
    if (!ok) std::abort();
  };
  BoundKind kind = (data[0] & 1) != 0 ? BoundKind::kUntil : BoundKind::kFrom;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  DateBound bound;
  Status status = ParseDateBound(text, kind, &bound);
  if (!status.ok()) {
    check(!bound.set && !status.message().empty());
    return 0;
  }
  // Years 0000 to 9999, a day more for UNTIL, a day either way for offsets.
  check(bound.set);
  check(bound.seconds >= CivilSeconds(0, 1, 1, 0, 0, 0) - 86400);
  check(bound.seconds <= CivilSeconds(10000, 1, 2, 0, 0, 0) + 86400);
  check(CheckDateRange(DateRange{bound, bound}).ok() == false);

  RecordTime at = CivilTimeOf(bound.seconds);
  RecordTime before = CivilTimeOf(bound.seconds - 1);
  DateRange range;
  (kind == BoundKind::kFrom ? range.from : range.until) = bound;
  if (kind == BoundKind::kFrom) {
    check(!BeforeFrom(range, at) && BeforeFrom(range, before));
  } else {
    check(AtOrAfterUntil(range, at) && !AtOrAfterUntil(range, before));
  }
  if (at.year >= 0 && at.year <= 9999) {
    char written[32];
    std::snprintf(written, sizeof(written), "%04d-%02d-%02dT%02d:%02d:%02d%s", at.year, at.month,
                  at.day, at.hour, at.minute, at.second, bound.absolute ? "Z" : "");
    DateBound again;
    check(ParseDateBound(written, BoundKind::kFrom, &again).ok());
    check(again == bound);
  }
  return 0;
}
