// Marking a line in one vector pass must find exactly what searching it
// marker by marker finds: every way of marking is held against the search
// on the whole record, spans and positions included.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "intake/log_parser.h"
#include "support/record_check.h"

namespace logvane {
namespace {

const MarkerScan kMarkingScans[] = {MarkerScan::kMarksPortable, MarkerScan::kMarksAvx2,
                                    MarkerScan::kMarksAvx512};

// The settings that change which markers are searched, in every mix; the
// request is always taken (SELECT with a text every request holds).
std::vector<LineFormat> AllFormats() {
  std::vector<LineFormat> formats;
  for (int bits = 0; bits < 8; ++bits) {
    LineFormat f;
    f.selectOn = true;
    f.userFromField2 = bits & 1;
    f.proxyMode = bits & 2;
    f.fullPageDetails = bits & 4;
    formats.push_back(f);
  }
  return formats;
}

// Parses `text` from a heap block of exactly its size (so the sanitizer
// build catches any read past the line) by every available scan, and holds
// each record against the search's.
void ExpectSameByEveryScan(const std::string& text, const std::vector<LineFormat>& formats) {
  std::unique_ptr<char[]> bytes(new char[text.empty() ? 1 : text.size()]);
  std::memcpy(bytes.get(), text.data(), text.size());
  std::string_view line(bytes.get(), text.size());
  for (const LineFormat& format : formats) {
    LogRecord expected;
    ParseLogLineWith(MarkerScan::kSearch, line, format, expected);
    for (MarkerScan scan : kMarkingScans) {
      if (!MarkerScanAvailable(scan)) continue;
      LogRecord got;
      ParseLogLineWith(scan, line, format, got);
      ASSERT_STREQ(testing::RecordDifference(expected, got), "")
          << "scan " << static_cast<int>(scan) << ", size " << text.size() << ", proxy "
          << format.proxyMode << ", full " << format.fullPageDetails << ", field2 "
          << format.userFromField2 << ": " << text;
    }
  }
}

std::string Combined(const std::string& url, const std::string& agent) {
  return "host-1.example - bob [07/Oct/1998:13:55:36 -0700] \"GET " + url +
         " HTTP/1.0\" 404 1234 \"http://ref.example/x?y\" \"" + agent + "\"\n";
}

TEST(LogParserScanTest, PortableScanIsAlwaysThere) {
  EXPECT_TRUE(MarkerScanAvailable(MarkerScan::kSearch));
  EXPECT_TRUE(MarkerScanAvailable(MarkerScan::kMarksPortable));
  EXPECT_TRUE(MarkerScanAvailable(FastestMarkerScan()));
}

TEST(LogParserScanTest, LinesOfEveryLengthAroundTheBlockBorders) {
  const std::vector<LineFormat> formats = AllFormats();
  std::vector<std::string> lines;
  // Whole lines grown a byte at a time through 16, 32 and 64-byte borders,
  // by the URL (page and directory move) and by the last field.
  for (size_t n = 0; n < 200; ++n) {
    lines.push_back(Combined("/d/" + std::string(n, 'p') + "?q", "agent"));
    lines.push_back(Combined("/d/p.html", std::string(n, 'a')));
  }
  // The first blank, "-", "[" and ":" each brought to either side of the
  // 250-character limit by a longer client field.
  for (size_t n = 225; n < 256; ++n) {
    lines.push_back(std::string(n, 'h') + Combined("/d/p", "a").substr(14));
  }
  // Every cut of a whole line, line end included or not.
  std::string whole = Combined("/Dir/Page.HTML?x=1", "Mozilla/5.0 (X11; Linux)");
  for (size_t n = 0; n <= whole.size(); ++n) lines.push_back(whole.substr(0, n));
  // Around the longest piece the reader delivers and past what is marked.
  for (size_t total : {1995, 1996, 1997, 1998, 2047, 2048, 2049, 2100}) {
    std::string base = Combined("/d/p", "");
    lines.push_back(Combined("/d/p", std::string(total - base.size(), 'a')));
    lines.push_back(Combined("/d/" + std::string(total - base.size(), 'p'), ""));
    std::string cut = Combined("/d/p", std::string(total, 'a'));
    lines.push_back(cut.substr(0, total));  // a piece with no line end
  }
  // No marker at all, NULs, only markers.
  lines.push_back(std::string(300, 'x'));
  lines.push_back(std::string(300, '\0'));
  lines.push_back(std::string(130, '"'));
  lines.push_back(std::string("\0[07/Oct/1998:13:5\0 \"GET /\0 H\" 200 \0 \"\0\" \"\"", 44));
  for (const std::string& line : lines) ExpectSameByEveryScan(line, formats);
}

TEST(LogParserScanTest, EveryMarkerInEveryPosition) {
  const std::vector<LineFormat> formats = AllFormats();
  const std::string base =
      Combined("/Dir/Page.HTML?x=1", "Mozilla/5.0 (X11; Linux) " + std::string(150, 'z'));
  const char markers[] = {'[', ']', '"', ' ', ':', '?', '/', '-', '.', '\0', '\n'};
  for (size_t at = 0; at < base.size(); ++at) {
    for (char m : markers) {
      std::string line = base;
      line[at] = m;
      ExpectSameByEveryScan(line, formats);
    }
  }
}

TEST(LogParserScanTest, RandomAndDamagedLines) {
  const std::vector<LineFormat> formats = AllFormats();
  std::mt19937 random(17);
  std::string alphabet = "[]\" :-/?.xA09\t\r\n";
  alphabet.push_back('\0');
  for (int i = 0; i < 2000; ++i) {
    std::string line;
    if (i % 2 == 0) {
      line = Combined("/a/" + std::string(random() % 90, 'b') + ".html?q",
                      std::string(random() % 200, 'u'));
      for (int k = random() % 6; k > 0; --k) {
        line[random() % line.size()] = alphabet[random() % alphabet.size()];
      }
      line.resize(random() % (line.size() + 1));
    } else {
      line.resize(random() % 2100);
      for (char& c : line) c = alphabet[random() % alphabet.size()];
    }
    ExpectSameByEveryScan(line, formats);
  }
}

}  // namespace
}  // namespace logvane
