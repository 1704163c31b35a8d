#include "report/fixed_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace logvane {
namespace {

struct Case {
  double value;
  int decimals;
  const char* expected;
};

TEST(FormatFixedTest, RoundsTheExactBinaryValueWithTiesAwayFromZero) {
  const Case cases[] = {
      // Exact ties go away from zero.
      {2.5, 0, "3"},
      {0.5, 0, "1"},
      {1.5, 0, "2"},
      {-2.5, 0, "-3"},
      {12.25, 1, "12.3"},
      {0.25, 1, "0.3"},
      {0.125, 1, "0.1"},  // not a tie at one place
      {-0.25, 1, "-0.3"},
      // Near-ties: the binary value decides.
      {0.15, 1, "0.1"},    // 0.1499999999999999944...
      {0.35, 1, "0.3"},    // 0.3499999999999999777...
      {0.45, 1, "0.5"},    // 0.4500000000000000111...
      {0.05, 1, "0.1"},    // 0.0500000000000000027...
      {12.35, 1, "12.3"},  // 12.349999999999999644...
      {99.95, 1, "100.0"},
      {9.95, 1, "9.9"},
      {0.7, 0, "1"},
      {0.49999999999999994, 0, "0"},
      // Plain values.
      {0.0, 0, "0"},
      {0.0, 1, "0.0"},
      {100.0, 1, "100.0"},
      {57.0, 0, "57"},
      {1e-300, 1, "0.0"},
      {5e-324, 0, "0"},
      {123456789.0, 0, "123456789"},
      {9007199254740993.0, 0, "9007199254740992"},  // 2^53 + 1 is not a double
      {1e22, 0, "10000000000000000000000"},
      // The sign bit is written, as printf does.
      {-0.0, 0, "-0"},
      {-0.2, 1, "-0.2"},
      {-0.04, 1, "-0.0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatFixed(c.value, c.decimals), c.expected) << c.value << " with " << c.decimals;
  }
}

TEST(FormatFixedTest, ValuesThatAreNotFinite) {
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 1), "inf");
  EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 0), "-inf");
  EXPECT_EQ(FormatFixed(std::nan(""), 1), "nan");
}

// Away from ties the C library's exact rounding must agree digit for digit;
// this covers huge and tiny magnitudes as well.
TEST(FormatFixedTest, AgreesWithTheLibraryExceptOnTies) {
  std::mt19937_64 random(20240611);
  int compared = 0;
  for (int i = 0; i < 20000; ++i) {
    double value;
    switch (i % 3) {
      case 0: value = static_cast<double>(random() % 2000000) / 8.0 / 100.0; break;
      case 1:
        value = std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 70));
        break;
      default:
        value =
            std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 1000) - 60);
        break;
    }
    if (!std::isfinite(value)) continue;
    for (int decimals : {0, 1}) {
      long double scaled = static_cast<long double>(value) * (decimals == 1 ? 10.0L : 1.0L);
      bool tie = std::fmod(scaled, 1.0L) == 0.5L;
      if (tie) continue;
      char expected[2048];
      std::snprintf(expected, sizeof(expected), "%.*f", decimals, value);
      ASSERT_EQ(FormatFixed(value, decimals), expected) << value;
      ++compared;
    }
  }
  EXPECT_GT(compared, 30000);
}

}  // namespace
}  // namespace logvane
