#include "platform/progress_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>

namespace logvane {
namespace {

TEST(ProgressLine, Layout) {
  struct Case {
    ProgressState state;
    size_t width;
    std::string want;
  };
  const int64_t s = 1'000'000'000;
  const std::vector<Case> cases = {
      {{5'100'000, 420'000'000, 1'200'000'000, 2 * s},
       100,
       "logvane: 35% of 1.2 GB, 5.1 M lines, 2.5 M lines/s, 0:02 elapsed, 0:04 left"},
      // A pipe: a count, no share and no time left.
      {{12'000, 3'400'000, 0, 75 * s},
       100,
       "logvane: 3.4 MB, 12 k lines, 160 lines/s, 1:15 elapsed"},
      {{0, 0, 512, 0}, 100, "logvane: 0% of 512 B, 0 lines, 0:00 elapsed"},
      {{10, 600, 512, 3725 * s},
       100,
       "logvane: 100% of 512 B, 10 lines, 0 lines/s, 1:02:05 elapsed"},
      // Never as wide as the terminal, which would wrap it.
      {{5'100'000, 420'000'000, 1'200'000'000, 2 * s}, 20, "logvane: 35% of 1.2"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressText(c.state, c.width), c.want);
}

// The line drawn into a pipe, with a clock the test moves.
struct Drawn {
  int fds[2];
  int64_t now = 0;
  Drawn() { EXPECT_EQ(::pipe(fds), 0); }
  ~Drawn() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  std::string Take() {
    ::close(fds[1]);
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof(buffer))) > 0) all.append(buffer, n);
    fds[1] = ::dup(fds[0]);  // something for the destructor to close
    return all;
  }
};

TEST(ProgressLine, AtMostTenDrawingsASecondAndOutOfTheWayOfOtherLines) {
  Drawn out;
  std::atomic<uint64_t> bytes{0};
  {
    ProgressLine line(out.fds[1], [&] { return out.now; });
    ProgressTick tick(&line);
    line.Start(&bytes, 1000);
    // A second in steps of 1 ms, 512 lines each: the clock is read every
    // 8 ms, and the line drawn at 104, 208, ... 936 ms: nine times.
    for (int ms = 1; ms <= 1000; ++ms) {
      out.now = ms * 1'000'000LL;
      bytes = ms;
      for (uint32_t i = 0; i < ProgressTick::kLinesPerLook / 8; ++i) tick.Line();
    }
    EXPECT_EQ(line.draws(), 9u);
    line.Clear();  // a console line comes
    line.Restore();
    line.Clear();
    line.Clear();  // nothing stands there now
    EXPECT_EQ(line.draws(), 10u);
    line.Finish();
    line.Restore();  // a line after the end stays away
    EXPECT_EQ(line.draws(), 10u);
  }
  std::string all = out.Take();
  size_t erasures = 0;
  for (size_t at = all.find("\r\x1b[K"); at != std::string::npos;
       at = all.find("\r\x1b[K", at + 1)) {
    ++erasures;
  }
  EXPECT_EQ(erasures, 2u);
  EXPECT_TRUE(all.starts_with("\rlogvane: 10% of 1.0 kB, 53 k lines, 512 k lines/s, ")) << all;
  EXPECT_TRUE(all.ends_with("\x1b[K\r\x1b[K")) << all;
}

TEST(ProgressLine, NoLineCostsACounter) {
  ProgressTick none;
  for (int i = 0; i < 100000; ++i) none.Line();
  none.Lines(5);  // and a block nothing
  SUCCEED();
}

}  // namespace
}  // namespace logvane
