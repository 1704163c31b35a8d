#include "report/fixed_format.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace logvane {

namespace {

using Wide = unsigned __int128;

constexpr uint32_t kLimbBase = 1000000000;  // decimal limbs of nine digits

std::string WideDigits(Wide n) {
  if (n == 0) return "0";
  std::string digits;
  while (n != 0) {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
    n /= 10;
  }
  return digits;
}

// The decimal digits of n * 2^shift, exactly; only values of 2^53 and more
// get here, so this runs for huge byte sums at most.
std::string ShiftedDigits(Wide n, int shift) {
  std::vector<uint64_t> limbs;  // little-endian, each below kLimbBase
  while (n != 0) {
    limbs.push_back(static_cast<uint64_t>(n % kLimbBase));
    n /= kLimbBase;
  }
  while (shift > 0) {
    int step = shift < 30 ? shift : 30;
    shift -= step;
    uint64_t carry = 0;
    for (uint64_t& limb : limbs) {
      uint64_t v = (limb << step) + carry;
      limb = v % kLimbBase;
      carry = v / kLimbBase;
    }
    while (carry != 0) {
      limbs.push_back(carry % kLimbBase);
      carry /= kLimbBase;
    }
  }
  if (limbs.empty()) return "0";
  std::string digits = std::to_string(limbs.back());
  for (size_t i = limbs.size() - 1; i-- > 0;) {
    std::string part = std::to_string(limbs[i]);
    digits.append(9 - part.size(), '0');
    digits += part;
  }
  return digits;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxFixedDecimals) decimals = kMaxFixedDecimals;
  if (std::isnan(value)) return "nan";
  const bool negative = std::signbit(value);
  if (std::isinf(value)) return negative ? "-inf" : "inf";

  // |value| = mantissa * 2^exponent with an integral mantissa below 2^53.
  int exponent = 0;
  double fraction = std::frexp(std::fabs(value), &exponent);
  uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  exponent -= 53;

  // Round |value| * 10^decimals to an integer, ties away from zero.
  Wide scaled = mantissa;
  for (int i = 0; i < decimals; ++i) scaled *= 10;  // below 2^83
  std::string digits;
  if (exponent >= 0) {
    digits = ShiftedDigits(scaled, exponent);
  } else {
    int shift = -exponent;
    Wide rounded = 0;
    if (shift < 120) {  // beyond it the value lies below a half unit
      Wide half = Wide{1} << (shift - 1);
      Wide remainder = scaled & ((Wide{1} << shift) - 1);
      rounded = (scaled >> shift) + (remainder >= half ? 1 : 0);
    }
    digits = WideDigits(rounded);
  }

  if (digits.size() <= static_cast<size_t>(decimals)) {
    digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
  }
  std::string text = negative ? "-" : "";
  size_t integral = digits.size() - static_cast<size_t>(decimals);
  text.append(digits, 0, integral);
  if (decimals > 0) {
    text += '.';
    text.append(digits, integral, std::string::npos);
  }
  return text;
}

}  // namespace logvane
