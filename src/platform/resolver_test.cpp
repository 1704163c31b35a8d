#include "platform/resolver.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

TEST(ClassifyAddressLiteral, TakesOnlyAWholeLiteral) {
  const std::pair<std::string, AddressFamily> cases[] = {
      {"192.0.2.1", AddressFamily::kIPv4},
      {"127.0.0.1", AddressFamily::kIPv4},
      {"2001:db8::1", AddressFamily::kIPv6},
      {"2001:DB8::1", AddressFamily::kIPv6},
      {"::1", AddressFamily::kIPv6},
      {"::ffff:192.0.2.1", AddressFamily::kIPv6},
      {"ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255", AddressFamily::kIPv6},
      {"", AddressFamily::kNone},
      {"1.2.3", AddressFamily::kNone},
      {"1.2.3.4.5", AddressFamily::kNone},
      {"256.1.1.1", AddressFamily::kNone},
      {"1.2.3.4 ", AddressFamily::kNone},
      {" 1.2.3.4", AddressFamily::kNone},
      {std::string("1.2.3.4\0", 8), AddressFamily::kNone},
      {"user9", AddressFamily::kNone},
      {"host.example.7", AddressFamily::kNone},
      {"fe80::1%eth0", AddressFamily::kNone},
      {"ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.2555", AddressFamily::kNone},
  };
  for (const auto& [text, family] : cases) {
    EXPECT_EQ(ClassifyAddressLiteral(text), family) << text;
  }
}

TEST(SystemReverseLookup, NamesTheLoopbackAddressAndSendsNoNonAddress) {
  std::optional<std::string> name = SystemReverseLookup("127.0.0.1");
  ASSERT_TRUE(name.has_value());
  EXPECT_FALSE(name->empty());
  EXPECT_EQ(SystemReverseLookup("user9"), std::nullopt);
  EXPECT_EQ(SystemReverseLookup("1.2.3"), std::nullopt);
}

}  // namespace
}  // namespace logvane
