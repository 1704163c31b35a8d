#include "platform/byte_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace logvane {
namespace {

TEST(ByteInput, WordsAreBlankDelimited) {
  ByteInput in(std::string("\n\n  first\tsecond\nthird"));
  std::string word;
  ASSERT_TRUE(in.ReadWord(&word));
  EXPECT_EQ(word, "first");
  ASSERT_TRUE(in.ReadWord(&word));
  EXPECT_EQ(word, "second");
  ASSERT_TRUE(in.ReadWord(&word));
  EXPECT_EQ(word, "third");
  EXPECT_FALSE(in.ReadWord(&word));
  EXPECT_EQ(word, "");
}

TEST(ByteInput, BytesAfterAWordReachTheNextReader) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string text = "-\nline one\nline two\n";
  ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(fds[1]);
  ByteInput in(fds[0]);
  std::string word;
  ASSERT_TRUE(in.ReadWord(&word));
  EXPECT_EQ(word, "-");
  std::string rest;
  char chunk[4];
  for (size_t n; in.Read(chunk, sizeof(chunk), &n).ok() && n > 0;) rest.append(chunk, n);
  EXPECT_EQ(rest, "\nline one\nline two\n");
  ::close(fds[0]);
}

}  // namespace
}  // namespace logvane

namespace logvane {
namespace {

TEST(ByteInput, SkipLineEndDropsOnlyALineEnd) {
  struct Case {
    const char* text;
    const char* rest;
  };
  const Case cases[] = {{"-\nlog\n", "log\n"},
                        {"-\r\nlog\n", "log\n"},
                        {"- log\n", " log\n"},
                        {"-\rlog", "\rlog"},
                        {"-", ""}};
  for (const Case& c : cases) {
    ByteInput in{std::string(c.text)};
    std::string word;
    ASSERT_TRUE(in.ReadWord(&word));
    in.SkipLineEnd();
    std::string rest;
    char chunk[8];
    for (size_t n; in.Read(chunk, sizeof(chunk), &n).ok() && n > 0;) rest.append(chunk, n);
    EXPECT_EQ(rest, c.rest) << c.text;
  }
}

}  // namespace
}  // namespace logvane
