#include "names/geoip_ranges.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

constexpr const char* kV4Text =
    "# Generated: Thu, 25 Jun 2026 04:33:59 GMT\n"
    "# Vendor:    IPFire Project\n"
    "# License:   CC BY-SA 4.0\n"
    "\n"
    "16777216,16777471,AU\n"       // 1.0.0.0 - 1.0.0.255
    "16777472,16778239,cn\r\n"     // lower case and CR LF
    "16778240,16779263,??\n"       // no known country
    "2.16.0.0,2.16.255.255,FR\n";  // dotted bounds
constexpr const char* kV6Text =
    "# License: another\n"
    "2001:200::,2001:200:ffff:ffff:ffff:ffff:ffff:ffff,JP\n"
    "2a02:cf40::,2a02:cf40:ffff:ffff:ffff:ffff:ffff:ffff,RS";  // no line end

std::string Find(const GeoipRanges& ranges, const char* address) {
  return std::string(FindCountry(ranges, *ParseIpAddress(address)));
}

TEST(GeoipRanges, LoadsBothFamiliesAndFindsTheRangeOfAnAddress) {
  GeoipRanges ranges;
  GeoipRangesError error;
  ASSERT_TRUE(AddGeoipRanges(kV4Text, ranges, error)) << error.reason;
  ASSERT_TRUE(AddGeoipRanges(kV6Text, ranges, error)) << error.reason;
  EXPECT_EQ(ranges.v4From.size(), 4u);
  EXPECT_EQ(ranges.v6From.size(), 2u);
  EXPECT_EQ(ranges.generated, "Thu, 25 Jun 2026 04:33:59 GMT");
  EXPECT_EQ(ranges.vendor, "IPFire Project");
  EXPECT_EQ(ranges.licence, "CC BY-SA 4.0");  // the first file's
  const std::pair<const char*, const char*> cases[] = {
      {"0.255.255.255", ""},   {"1.0.0.0", "AU"},        {"1.0.0.255", "AU"},
      {"1.0.1.0", "CN"},       {"1.0.3.255", "CN"},      {"1.0.4.0", ""},  // "??"
      {"1.0.8.0", ""},         {"2.16.128.1", "FR"},     {"2.17.0.0", ""},
      {"255.255.255.255", ""}, {"2001:200::", "JP"},     {"2001:200:ffff::1", "JP"},
      {"2001:201::", ""},      {"2a02:cf40::1", "RS"},   {"::", ""},
      {"ffff::", ""},          {"::ffff:1.0.0.1", "AU"},
  };
  for (const auto& [address, code] : cases) EXPECT_EQ(Find(ranges, address), code) << address;
}

TEST(GeoipRanges, RefusesEveryMalformedOrDisorderedFile) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "no address ranges"},
      {"# comments only\n\n", "no address ranges"},
      {"16777216,16777471\n", "not a range (FROM,TO,CC) at line 1"},
      {"16777216,1677", "not a range (FROM,TO,CC) at line 1"},  // cut short
      {"1,2,AU\n16777216,16777471,A", "bad country code at line 2"},
      {"1,2,AUS\n", "bad country code at line 1"},
      {"1,2,A1\n", "bad country code at line 1"},
      {"1,x,AU\n", "bad address at line 1"},
      {"1,4294967296,AU\n", "bad address at line 1"},
      {"-1,2,AU\n", "bad address at line 1"},
      {"1,::2,AU\n", "bounds of different address families at line 1"},
      {"9,2,AU\n", "range ends before it starts at line 1"},
      {"1,10,AU\n10,20,DE\n", "ranges overlap or are out of order at line 2"},
      {"20,30,AU\n1,10,DE\n", "ranges overlap or are out of order at line 2"},
      {"# h\n2001::,2001::ff,AU\n2001::10,2001::20,DE\n",
       "ranges overlap or are out of order at line 3"},
      {"1,2,AU\n\x01\x02\x03\n", "not a range (FROM,TO,CC) at line 2"},
  };
  for (const auto& [text, reason] : cases) {
    GeoipRanges ranges;
    GeoipRangesError error;
    EXPECT_FALSE(AddGeoipRanges(text, ranges, error)) << text;
    EXPECT_EQ(error.reason, reason) << text;
  }
  // Order holds across files too: a second IPv4 file must follow the first.
  GeoipRanges ranges;
  GeoipRangesError error;
  ASSERT_TRUE(AddGeoipRanges("100,200,AU\n", ranges, error));
  EXPECT_FALSE(AddGeoipRanges("150,300,DE\n", ranges, error));
  EXPECT_EQ(error.detail, "\"150,300,DE\"");
}

}  // namespace
}  // namespace logvane
