// Fixed-point text of a double, rounded from its exact binary value with a
// tie written as the result farther from zero. The C library rounds exact
// ties to even, which would write 2.5 K bytes as 2 and a 12.25 share as
// 12.2; the report wants 3 and 12.3.
#ifndef LOGVANE_REPORT_FIXED_FORMAT_H_
#define LOGVANE_REPORT_FIXED_FORMAT_H_

#include <string>

namespace logvane {

inline constexpr int kMaxFixedDecimals = 9;

// `value` with `decimals` places (held to 0 .. kMaxFixedDecimals), like
// printf's "%.*f" apart from the tie rule: a leading "-" whenever the sign
// bit is set (so -0.2 gives "-0"), "inf", "-inf" and "nan" for values that
// are not finite.
std::string FormatFixed(double value, int decimals);

}  // namespace logvane

#endif  // LOGVANE_REPORT_FIXED_FORMAT_H_
