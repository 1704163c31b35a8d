#include "intake/log_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/chunked_source.h"

namespace logvane {
namespace {

using testing::ChunkedSource;

struct ReadResult {
  std::vector<std::string> pieces;
  ReadStatus status;
};

ReadResult ReadAll(LogSource& source, size_t blockSize = 1 << 20) {
  LogLineReader reader(source, kLinePieceWidth, blockSize);
  ReadResult result;
  std::string_view piece;
  while ((result.status = reader.ReadLogLine(&piece)) == ReadStatus::kLine) {
    result.pieces.emplace_back(piece);
  }
  return result;
}

// Each line's first 1997 bytes, its line end included where it fits.
std::vector<std::string> ExpectedPieces(const std::string& text) {
  std::vector<std::string> pieces;
  size_t position = 0;
  while (position < text.size()) {
    size_t newline = text.find('\n', position);
    size_t end = newline == std::string::npos ? text.size() : newline + 1;
    pieces.push_back(text.substr(position, std::min(end - position, kLinePieceWidth)));
    position = end;
  }
  return pieces;
}

TEST(LogReaderTest, SplitsIntoPiecesAsReadLineByLine) {
  const std::string x1997(1997, 'x');
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"plain lines", "a\nbb\n", {"a\n", "bb\n"}},
      {"last line without line end", "a\nbb", {"a\n", "bb"}},
      {"carriage return kept", "a\r\nb\r\n", {"a\r\n", "b\r\n"}},
      {"empty lines are pieces", "\n\nz\n", {"\n", "\n", "z\n"}},
      {"nul byte is ordinary", std::string("a\0b\n", 4), {std::string("a\0b\n", 4)}},
      {"empty log", "", {}},
      {"1996 characters and line end fit",
       std::string(1996, 'y') + "\n",
       {std::string(1996, 'y') + "\n"}},
      {"1997 characters and their line end are one line", x1997 + "\nz\n", {x1997, "z\n"}},
      {"CR LF after 1996 characters",
       std::string(1996, 'c') + "\r\nz\n",
       {std::string(1996, 'c') + "\r", "z\n"}},
      {"3000 characters are cut",
       std::string(3000, 'w') + "\nz\n",
       {std::string(1997, 'w'), "z\n"}},
      {"4000 characters without line end", std::string(4000, 'v'), {std::string(1997, 'v')}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkedSource source(c.text, 1 << 20);
    ReadResult result = ReadAll(source);
    EXPECT_EQ(result.pieces, c.pieces);
    EXPECT_EQ(result.status, ReadStatus::kEndOfFile);
  }
}

TEST(LogReaderTest, PiecesDoNotDependOnBlockOrReadSizes) {
  std::mt19937 random(7);
  std::string text;
  for (int i = 0; i < 400; ++i) {
    size_t length = random() % 50 == 0 ? 1990 + random() % 2100 : random() % 300;
    for (size_t j = 0; j < length; ++j) text.push_back(static_cast<char>('a' + random() % 26));
    if (random() % 7 == 0) text.push_back('\r');
    text.push_back('\n');
  }
  text += "tail without line end";
  const std::vector<std::string> expected = ExpectedPieces(text);
  for (size_t blockSize : {size_t{1}, size_t{4000}, size_t{5003}, size_t{1} << 20}) {
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{1997}, size_t{1998}, size_t{65536}}) {
      SCOPED_TRACE("block " + std::to_string(blockSize) + " chunk " + std::to_string(chunk));
      ChunkedSource source(text, chunk);
      ReadResult result = ReadAll(source, blockSize);
      ASSERT_EQ(result.pieces, expected);
      EXPECT_EQ(result.status, ReadStatus::kEndOfFile);
    }
  }
}

TEST(LogReaderTest, CountsTheLinesItCut) {
  struct Case {
    const char* name;
    std::string text;
    int64_t cut;
    int64_t first;
  };
  const std::string x1997(1997, 'x');
  const Case cases[] = {
      {"a line end right after the width", x1997 + "\n" + x1997 + "\r\n", 0, 0},
      {"one byte more", "a\n" + x1997 + "y\n" + x1997 + "\n", 1, 2},
      {"the last line, without line end", "a\nb\n" + x1997 + "yy", 1, 3},
      {"two long lines", x1997 + "yy\n" + "b\n" + x1997 + "\r\r\n", 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkedSource source(c.text, 5);
    LogLineReader reader(source);
    std::string_view piece;
    bool full = false;
    size_t fullPieces = 0;
    while (reader.ReadLogLine(&piece, &full) == ReadStatus::kLine) fullPieces += full;
    EXPECT_EQ(reader.longLines(), c.cut);
    EXPECT_EQ(reader.firstLongLine(), c.first);
    EXPECT_GE(static_cast<int64_t>(fullPieces), c.cut);
  }
}

TEST(LogReaderTest, APieceStaysValidThroughItsCall) {
  std::mt19937 random(3);
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    size_t length = random() % 20 == 0 ? 1500 + random() % 1000 : random() % 200;
    for (size_t j = 0; j < length; ++j) text.push_back(static_cast<char>('0' + random() % 64));
    text.push_back('\n');
  }
  const std::vector<std::string> expected = ExpectedPieces(text);
  for (size_t chunk : {size_t{1}, size_t{999}, size_t{1} << 20}) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    ChunkedSource source(text, chunk);
    LogLineReader reader(source, kLinePieceWidth, 1);  // the smallest block: many turns
    LinePiece pieces[97];
    size_t count = 0;
    size_t max = 1;
    while (size_t n = reader.ReadLines(pieces, max)) {
      ASSERT_LE(count + n, expected.size());
      for (size_t i = 0; i < n; ++i) ASSERT_EQ(pieces[i].text, expected[count + i]) << count;
      count += n;
      max = max % 97 + 1;
    }
    EXPECT_EQ(count, expected.size());
    EXPECT_EQ(reader.status(), ReadStatus::kEndOfFile);
  }
}

TEST(LogReaderTest, ReadErrorEndsReadingAfterWhatWasRead) {
  ChunkedSource source("one\ntwo\npart", 5, /*failAtEnd=*/true);
  LogLineReader reader(source);
  std::vector<std::string> pieces;
  std::string_view piece;
  ReadStatus status;
  while ((status = reader.ReadLogLine(&piece)) == ReadStatus::kLine) pieces.emplace_back(piece);
  EXPECT_EQ(pieces, (std::vector<std::string>{"one\n", "two\n", "part"}));
  EXPECT_EQ(status, ReadStatus::kReadError);
  errno = 0;
  EXPECT_EQ(reader.ReadLogLine(&piece), ReadStatus::kReadError);
  EXPECT_EQ(reader.error(), EIO);
}

TEST(LogReaderTest, EndOfFileStaysEndOfFile) {
  ChunkedSource source("x\n", 100);
  LogLineReader reader(source);
  std::string_view piece;
  ASSERT_EQ(reader.ReadLogLine(&piece), ReadStatus::kLine);
  EXPECT_EQ(reader.ReadLogLine(&piece), ReadStatus::kEndOfFile);
  EXPECT_EQ(reader.ReadLogLine(&piece), ReadStatus::kEndOfFile);
}

}  // namespace
}  // namespace logvane
