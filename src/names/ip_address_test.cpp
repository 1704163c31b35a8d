#include "names/ip_address.h"

#include <gtest/gtest.h>

namespace logvane {
namespace {

TEST(ParseIpAddress, ReadsEveryTextFormAndRefusesTheRest) {
  struct Case {
    const char* text;
    bool valid;
    bool isV4 = false;
    uint64_t high = 0, low = 0;
  };
  const Case cases[] = {
      {"192.0.2.1", true, true, 0, 0xc0000201},
      {"0.0.0.0", true, true, 0, 0},
      {"255.255.255.255", true, true, 0, 0xffffffff},
      {"010.1.1.1", true, true, 0, 0x0a010101},
      {"::", true, false, 0, 0},
      {"::1", true, false, 0, 1},
      {"1::", true, false, 0x0001000000000000, 0},
      {"2001:db8::ff00:42:8329", true, false, 0x20010db800000000, 0x0000ff0000428329},
      {"2001:DB8:0:0:8:800:200C:417A", true, false, 0x20010db800000000, 0x00080800200c417a},
      {"1:2:3:4:5:6:7::", true, false, 0x0001000200030004, 0x0005000600070000},
      {"::ffff:192.0.2.1", true, true, 0, 0xc0000201},  // mapped IPv4
      {"64:ff9b::192.0.2.1", true, false, 0x0064ff9b00000000, 0xc0000201},
      {"fe80::1%eth0", true, false, 0xfe80000000000000, 1},
      {"[::1]", true, false, 0, 1},
      {"[]", false},
      {"[1.2.3.4", false},
      {"", false},
      {"256.1.1.1", false},
      {"1.2.3", false},
      {"1.2.3.4.5", false},
      {"1.2.3.4 ", false},
      {"1234.1.1.1", false},
      {"host.example.com", false},
      {"1:2:3:4:5:6:7:8:9", false},
      {"1::2::3", false},
      {":1", false},
      {"1:", false},
      {"12345::", false},
      {"1:2:3:4:5:6:7:1.2.3.4", false},
      {"::g", false},
      {"fe80::1%", false},
  };
  for (const Case& c : cases) {
    std::optional<IpAddress> parsed = ParseIpAddress(c.text);
    ASSERT_EQ(parsed.has_value(), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(parsed->isV4, c.isV4) << c.text;
    EXPECT_EQ(parsed->value.high, c.high) << c.text;
    EXPECT_EQ(parsed->value.low, c.low) << c.text;
  }
}

TEST(IsLocalNetwork, PrivateLoopbackAndLinkLocalOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"10.1.2.3", true},
      {"172.16.0.1", true},
      {"172.31.255.255", true},
      {"172.32.0.1", false},
      {"172.15.255.255", false},
      {"192.168.7.7", true},
      {"192.169.0.1", false},
      {"127.0.0.1", true},
      {"169.254.1.1", true},
      {"100.64.0.1", true},
      {"100.128.0.1", false},
      {"8.8.8.8", false},
      {"::1", true},
      {"::2", false},
      {"fe80::1", true},
      {"febf::1", true},
      {"fec0::1", false},
      {"fc00::1", true},
      {"fdff::1", true},
      {"fe00::1", false},
      {"2001:db8::1", false},
      {"::ffff:10.0.0.1", true},
  };
  for (const auto& [text, local] : cases) {
    EXPECT_EQ(IsLocalNetwork(*ParseIpAddress(text)), local) << text;
  }
}

}  // namespace
}  // namespace logvane
