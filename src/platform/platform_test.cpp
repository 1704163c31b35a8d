#include "platform/platform.h"

#include <gtest/gtest.h>

namespace logvane {
namespace {

TEST(Platform, AsctimeLayout) {
  EXPECT_EQ(AsctimeText(4, 9, 8, 13, 55, 36, 1998), "Thu Oct  8 13:55:36 1998\n");
  EXPECT_EQ(AsctimeText(0, 0, 31, 0, 0, 0, 2027), "Sun Jan 31 00:00:00 2027\n");
  std::string now = SystemLocalTimeText();
  EXPECT_EQ(now.size(), 25u);
  EXPECT_EQ(now.back(), '\n');
}

TEST(Platform, HostNameFitsItsField) {
  std::optional<std::string> host = SystemHostName();
  ASSERT_TRUE(host.has_value());
  EXPECT_LE(host->size(), kHostNameWidth);
}

}  // namespace
}  // namespace logvane
