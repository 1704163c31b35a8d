#include "intake/gzip_source.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/test_support.h"

namespace logvane {
namespace {

std::string Gzip(const std::string& text) { return testing::GzipText(text); }

struct Drained {
  std::string bytes;
  bool error = false;
};

// Reads a source to its end in reads of `size` bytes: small and uneven by
// default, or as large as the log reader's blocks.
Drained Drain(std::unique_ptr<LogSource> source, size_t size = 777) {
  Drained d;
  std::string chunk(size, '\0');
  for (;;) {
    size_t n = 0;
    if (!source->Read(chunk.data(), chunk.size(), &n).ok()) {
      d.error = true;
      break;
    }
    if (n == 0) break;
    d.bytes.append(chunk.data(), n);
  }
  return d;
}

// Drains `data` through zlib and through ISA-L: both must give the same
// bytes and the same ending.
Drained DrainBoth(const std::string& data, size_t size = 777) {
  Drained zlib = Drain(DecompressIfGzip(LogFromText(data), Inflater::kZlib), size);
  Drained isal = Drain(DecompressIfGzip(LogFromText(data), Inflater::kIsal), size);
  EXPECT_EQ(isal.bytes.size(), zlib.bytes.size());
  EXPECT_TRUE(isal.bytes == zlib.bytes);
  EXPECT_EQ(isal.error, zlib.error);
  return zlib;
}

std::string SampleLog(int lines) {
  std::string log;
  for (int i = 0; i < lines; ++i) {
    log += "192.0.2." + std::to_string(i % 250 + 1) +
           " - - [07/Oct/1998:13:55:" + std::to_string(10 + i % 50) + " -0700] \"GET /page" +
           std::to_string(i % 97) + ".html HTTP/1.0\" 200 " + std::to_string(i * 37 % 9000) +
           "\r\n";
  }
  return log;
}

TEST(GzipSource, PlainBytesPassThroughWhole) {
  for (const std::string& text : {std::string(), std::string("\x1f"), std::string("x"),
                                  std::string("\x1f"
                                              "abc"),
                                  SampleLog(50)}) {
    Drained d = DrainBoth(text);
    EXPECT_FALSE(d.error);
    EXPECT_EQ(d.bytes, text);
  }
}

TEST(GzipSource, CompressedLogGivesTheSameBytes) {
  std::string log = SampleLog(20000);  // several input blocks
  Drained d = DrainBoth(Gzip(log));
  EXPECT_FALSE(d.error);
  EXPECT_EQ(d.bytes, log);
  // Concatenated members, as "cat a.gz b.gz" gives.
  std::string second = SampleLog(7);
  Drained both = DrainBoth(Gzip(log) + Gzip(second));
  EXPECT_FALSE(both.error);
  EXPECT_EQ(both.bytes, log + second);
}

TEST(GzipSource, DamageEndsInAReadErrorAfterTheGoodBytes) {
  std::string log = SampleLog(3000);
  std::string packed = Gzip(log);
  struct Case {
    const char* what;
    std::string data;
    bool goodBytesFirst;  // a flipped bit shows only at the checksum
  };
  std::string flipped = packed;
  flipped[packed.size() / 2] = static_cast<char>(flipped[packed.size() / 2] ^ 0x5a);
  const Case cases[] = {
      {"cut short", packed.substr(0, packed.size() / 2), true},
      {"only the header", packed.substr(0, 10), true},
      {"garbage behind", packed + "trailing text\n", true},
      {"damaged inside", flipped, false},
      {"bad checksum", packed.substr(0, packed.size() - 8) + std::string(8, '\0'), true},
      {"second member cut", packed + Gzip(log).substr(0, 5000), true},
      {"magic alone behind", packed + "\x1f", true},
      {"magic and garbage behind", packed + "\x1f\x8bgarbage", true},
      {"garbage between members", packed + "x" + packed, true},
  };
  for (const Case& c : cases) {
    Drained d = DrainBoth(c.data);
    EXPECT_TRUE(d.error) << c.what;
    if (c.goodBytesFirst) {
      EXPECT_EQ((log + log).compare(0, d.bytes.size(), d.bytes), 0) << c.what;
    }
  }
}

// The bytes inflated before damage are handed on before the damage itself,
// whatever the size of the reads: a damaged trailer loses nothing, damage
// inside a member loses only what follows it.
TEST(GzipSource, DamageLosesNoByteInflatedBeforeIt) {
  const std::string log = SampleLog(3000);
  const std::string second = SampleLog(40);
  const std::string packed = Gzip(log);
  auto flip = [](std::string data, size_t at) {
    data[at] = static_cast<char>(data[at] ^ 0xff);
    return data;
  };
  struct Case {
    const char* what;
    std::string data;
    std::string whole;  // what comes out in full before the damage
  };
  const Case trailers[] = {
      {"flipped checksum", flip(packed, packed.size() - 6), log},
      {"flipped size", flip(packed, packed.size() - 2), log},
      {"cut trailer", packed.substr(0, packed.size() - 3), log},
      {"no trailer", packed.substr(0, packed.size() - 8), log},
      {"damaged second member", packed + flip(Gzip(second), Gzip(second).size() - 7), log + second},
  };
  for (size_t size : {size_t{777}, size_t{1} << 20}) {
    for (const Case& c : trailers) {
      Drained d = DrainBoth(c.data, size);
      EXPECT_TRUE(d.error) << c.what << " in reads of " << size;
      EXPECT_EQ(d.bytes, c.whole) << c.what << " in reads of " << size;
    }
    // A byte flipped in the middle of the deflate data: what comes before
    // it is kept.
    Drained d = DrainBoth(flip(packed, packed.size() / 2), size);
    EXPECT_TRUE(d.error) << size;
    size_t same = 0;
    while (same < d.bytes.size() && same < log.size() && d.bytes[same] == log[same]) ++same;
    EXPECT_GT(same, log.size() / 3) << size;
  }
}

TEST(GzipSource, ReadErrorOfTheFileIsPassedOn) {
  struct Failing : LogSource {
    int calls = 0;
    std::string head;
    Status Read(char* buffer, size_t size, size_t* got) override {
      *got = 0;
      if (calls++ == 0 && !head.empty()) {
        *got = std::min(size, head.size());
        std::memcpy(buffer, head.data(), *got);
        return Status::Ok();
      }
      return Status::FromErrno(EIO, "log");
    }
  };
  EXPECT_TRUE(Drain(DecompressIfGzip(std::make_unique<Failing>())).error);
  auto compressed = std::make_unique<Failing>();
  compressed->head = Gzip(SampleLog(100)).substr(0, 30);
  EXPECT_TRUE(Drain(DecompressIfGzip(std::move(compressed))).error);
}

}  // namespace
}  // namespace logvane
