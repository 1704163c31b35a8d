#include "platform/console.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

namespace logvane {
namespace {

// Reads what is waiting in a pipe without blocking.
std::string Pending(int fd) {
  std::string text;
  char chunk[256];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof(chunk));
    if (n <= 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  return text;
}

TEST(Console, HandsOnEachCompleteLineAtOnce) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
  {
    Console console(fds[1]);
    console.Write("prompt: ");
    EXPECT_EQ(Pending(fds[0]), "");  // a prompt waits for Flush
    console.Flush();
    EXPECT_EQ(Pending(fds[0]), "prompt: ");
    console.Write("one\ntwo");
    EXPECT_EQ(Pending(fds[0]), "one\ntwo");
    console.SetLineFlush(false);
    console.Write("~~~\n");
    EXPECT_EQ(Pending(fds[0]), "");  // held while line flushing is off
    console.WriteNumber(-42);
    console.SetLineFlush(true);
    EXPECT_EQ(Pending(fds[0]), "~~~\n-42");
    console.Line("end");
    EXPECT_EQ(Pending(fds[0]), "end\n");
  }
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(Console, CaptureKeepsOrder) {
  std::string captured;
  Console console(&captured);
  console.Write("a");
  console.WriteChar('b');
  console.Line("c");
  console.WriteNumber(7);
  console.Flush();
  EXPECT_EQ(captured, "abc\n7");
}

TEST(Console, HeldLinesGoWhereTheyAreRedirected) {
  int first[2], second[2];
  ASSERT_EQ(pipe2(first, O_NONBLOCK), 0);
  ASSERT_EQ(pipe2(second, O_NONBLOCK), 0);
  {
    Console console(first[1]);
    console.Hold();
    console.Line("banner");
    console.Write("echo\n");
    EXPECT_EQ(Pending(first[0]), "");
    console.Redirect(second[1]);
    console.Release();
    console.Line("after");
    EXPECT_EQ(Pending(second[0]), "banner\necho\nafter\n");
    EXPECT_EQ(Pending(first[0]), "");
  }
  for (int fd : {first[0], first[1], second[0], second[1]}) ::close(fd);
}

}  // namespace
}  // namespace logvane
