#include "common/status.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace logvane {
namespace {

TEST(StatusTest, SaysWhatWhereAndWhy) {
  EXPECT_TRUE(Status::Ok().ok());
  EXPECT_EQ(Status::Ok().ToString(), "ok");
  Status missing = Status::FromErrno(ENOENT, "a.log", "cannot open");
  EXPECT_EQ(missing.code(), StatusCode::kNotFound);
  EXPECT_EQ(missing.ToString(), "a.log: cannot open: No such file or directory");
  Status full = Status::FromErrno(ENOSPC, "r.html");
  EXPECT_EQ(full.code(), StatusCode::kIoError);
  EXPECT_EQ(full.ToString(), "r.html: No space left on device");
  Status cut = Status::Corrupt("m.state", "byte 120", "the section ends early");
  EXPECT_FALSE(cut.ok());
  EXPECT_EQ(cut.ToString(), "m.state:byte 120: the section ends early");
  EXPECT_EQ(Status::Unsupported("built without RE2").ToString(), "built without RE2");
}

}  // namespace
}  // namespace logvane
