#include "report/report_writer.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <string>

#include "support/test_support.h"

namespace logvane {
namespace {

TEST(ReportWriterTest, WritesEveryByteInOrder) {
  testing::TempDir dir;
  std::string path = dir.File("report.html");
  std::string expected;
  {
    std::unique_ptr<ReportWriter> out = ReportWriter::Create(path);
    ASSERT_TRUE(out);
    // Well past one buffer's worth, so several writes reach the file.
    for (int i = 0; i < 30000; ++i) {
      out->Write("<tr>");
      out->WriteInt(i - 15000);
      expected += "<tr>" + std::to_string(i - 15000);
    }
    EXPECT_TRUE(out->Close());
    EXPECT_TRUE(out->Close());  // a second close changes nothing
  }
  EXPECT_EQ(testing::ReadFile(path), expected);

  // A shorter report over the long one leaves none of it behind; a device
  // has no length to cut.
  for (const std::string& target : {path, std::string("/dev/null")}) {
    std::unique_ptr<ReportWriter> shorter = ReportWriter::Create(target);
    ASSERT_TRUE(shorter);
    shorter->Write("<html>");
    EXPECT_TRUE(shorter->Close()) << target;
  }
  EXPECT_EQ(testing::ReadFile(path), "<html>");
}

TEST(ReportWriterTest, FailuresAreReported) {
  testing::TempDir dir;
  EXPECT_FALSE(ReportWriter::Create(dir.path()));  // a directory
  EXPECT_FALSE(ReportWriter::Create(""));
  EXPECT_FALSE(ReportWriter::Create(dir.File("missing/report.html")));

  std::unique_ptr<ReportWriter> full = ReportWriter::Create("/dev/full");
  ASSERT_TRUE(full);
  full->Write("<html>");
  EXPECT_FALSE(full->Close());

  std::unique_ptr<ReportWriter> fullLarge = ReportWriter::Create("/dev/full");
  ASSERT_TRUE(fullLarge);
  for (int i = 0; i < 20000; ++i) fullLarge->Write("0123456789");
  EXPECT_FALSE(fullLarge->Close());

  // A write that fails in-process, through the file seam.
  FileCalls calls = SystemFileCalls();
  calls.write = [](int, const void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  };
  std::unique_ptr<ReportWriter> failing = ReportWriter::Create(dir.File("report.html"), calls);
  ASSERT_TRUE(failing);
  failing->Write("<html>");
  EXPECT_FALSE(failing->Close());
}

}  // namespace
}  // namespace logvane
