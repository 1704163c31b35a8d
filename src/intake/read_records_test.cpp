#include "intake/read_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "intake/log_source.h"
#include "support/reading_state.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::kFakeTime;

struct Entry {
  std::string client = "10.0.0.1";
  std::string idents = "- -";
  std::string date = "07/Oct/1998:13:55:36 -0700";
  std::string request = "GET /a/b.html HTTP/1.0";
  std::string code = "200";
  std::string bytes = "100";
  std::string tail = " \"ref\" \"agent\"";
};

std::string Line(const Entry& e) {
  return e.client + " " + e.idents + " [" + e.date + "] \"" + e.request + "\" " + e.code + " " +
         e.bytes + e.tail + "\n";
}

struct Outcome {
  std::unique_ptr<testing::ReadingState> state;
  std::string console;
  bool lineFlushAfter = false;
  const Tallies& tallies() const { return state->tallies; }
  const RunCounters& counters() const { return state->counters; }
};

class FailingSource : public LogSource {
 public:
  explicit FailingSource(std::string text) : text_(std::move(text)) {}
  Status Read(char* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (done_) return Status::FromErrno(EIO, "log");
    done_ = true;
    *got = std::min(size, text_.size());
    std::memcpy(buffer, text_.data(), *got);
    return Status::Ok();
  }

 private:
  std::string text_;
  bool done_ = false;
};

Outcome ReadLog(const std::string& log,
                const std::function<void(RunSettings&)>& configure = nullptr,
                bool failAtEnd = false) {
  Outcome out;
  out.state = testing::NewReadingState();
  if (configure) configure(out.state->settings);
  std::string capture;
  Console console(&capture);
  std::unique_ptr<LogSource> source =
      failAtEnd ? std::make_unique<FailingSource>(log) : LogFromText(log);
  LogLineReader reader(*source);
  FaultEnv machine;
  ReadRecords(out.state->settings, out.state->tallies, out.state->counters, reader, console,
              machine);
  out.lineFlushAfter = console.lineFlush();
  out.console = capture;  // what the phase handed on itself
  return out;
}

std::string Transcript(const std::string& middle, int64_t processed,
                       const char* end = "End of file...") {
  // Appended piece by piece: gcc 12 warns falsely on long chains of +.
  std::string text = " - reading records...\n\nstarted: ";
  text.append(kFakeTime).append("\n").append(middle).append(end);
  text.append("\ncompleted reading... processed: ").append(std::to_string(processed));
  text.append(" records.\n");
  return text;
}

template <typename Table>
int64_t HitsOf(const Table& table, std::string_view key) {
  for (size_t i = 0; i < table.used; ++i) {
    if (table.slots[i].key.view() == key) return table.slots[i].hits;
  }
  return 0;
}

int64_t UserHits(const UserTable& users, std::string_view key) {
  for (size_t i = 0; i < users.used; ++i) {
    if (users.slots[i].key.view() == key) return users.slots[i].hits;
  }
  return 0;
}

int64_t CodeCount(const Tallies& t, int32_t code) { return ResponseCount(t.codes, code); }

TEST(ReadRecordsTest, TranscriptOfEveryLineKind) {
  Entry ok;
  Entry noHour;
  noHour.date = "07/Oct/1998 13.55.36";
  Entry noPage;
  std::string log = Line(ok) +                                    // counted
                    "no date here\n" +                            // ~
                    "h - - [Oct/07/1998:1:2:3] \"GET / H\"\n" +   // bad format
                    "\n" +                                        // ~ (empty line)
                    Line(noHour) +                                // not counted
                    "h - - [07/Oct/1998:13:55:36] GET / H\n" +    // no page
                    "h - - [07/Oct/1998:13:55:36] \"GET\n" +      // bad page a
                    "h - - [07/Oct/1998:13:55:36] \"GET / H\n" +  // bad page b
                    Line(ok);                                     // counted, no line end
  log.pop_back();
  Outcome out = ReadLog(log);
  EXPECT_EQ(out.console, Transcript("~*REJECTED LINE due to bad format*\n~"
                                    "Hour Not Found in: " +
                                        Line(noHour) + "\n" +
                                        " NO PAGE/0: h - - [07/Oct/1998:13:55:36] GET / H\n\n"
                                        " BAD PAGE/a: h - - [07/Oct/1998:13:55:36] \"GET\n\n"
                                        " BAD PAGE/b: h - - [07/Oct/1998:13:55:36] \"GET / H\n\n",
                                    5));
  EXPECT_TRUE(out.lineFlushAfter);
  EXPECT_FALSE(out.counters().readError);
}

TEST(ReadRecordsTest, WhatEachLineKindFeedsAndCounts) {
  Entry ok;
  Entry noHour;
  noHour.date = "07/Oct/1998 13.55.36";
  std::string badPageLine = "10.0.0.1 - - [07/Oct/1998:13:55:36 -0700] \"GET\n";
  std::string noClient =
      std::string(220, 'c') + "[07/Oct/1998:13:55:36]" + std::string(20, 'c') + " \"GET / H\"\n";
  struct Case {
    const char* name;
    std::string line;
    bool counted;
    bool user, date, hour, page;
    double bytes;
  };
  const Case cases[] = {
      {"well formed", Line(ok), true, true, true, true, true, 100},
      {"no bracket", "no date\n", true, false, false, false, false, 0},
      {"bad format", "h - - [Oct/07/1998] \"GET / H\"\n", true, false, false, false, false, 0},
      {"no hour", Line(noHour), false, true, true, false, false, 100},
      {"page fault", badPageLine, false, true, true, true, false, 0},
      {"no client address", noClient, false, false, true, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome out = ReadLog(c.line);
    const Tallies& t = out.tallies();
    EXPECT_EQ(out.counters().processedCount, c.counted ? 1 : 0);
    EXPECT_EQ(t.users.used, c.user ? 1u : 0u);
    EXPECT_EQ(t.dates.used, c.date ? 1u : 0u);
    EXPECT_EQ(t.hours.used, c.hour ? 1u : 0u);
    EXPECT_EQ(t.pages.used, c.page ? 1u : 0u);
    EXPECT_EQ(t.directories.used, c.page ? 1u : 0u);
    EXPECT_EQ(CodeCount(t, 200), c.page ? 1 : 0);
    if (c.user) {
      EXPECT_EQ(t.users.slots[0].byteSum, c.bytes);
    }
    if (c.date) {
      EXPECT_EQ(t.dates.slots[0].byteSum, c.bytes);
    }
  }
}

TEST(ReadRecordsTest, ATallyOfAWellFormedLine) {
  Entry e;
  e.request = "GET /Docs/Index.HTML?q=1 HTTP/1.0";
  e.bytes = "3000000000";  // above 2 GiB
  Outcome out = ReadLog(Line(e));
  const Tallies& t = out.tallies();
  EXPECT_EQ(UserHits(t.users, "10.0.0.1"), 1);
  EXPECT_EQ(t.users.slots[0].byteSum, 3e9);
  EXPECT_EQ(HitsOf(t.dates, "07/Oct/1998"), 1);
  EXPECT_EQ(t.dates.slots[0].dateNumber, 19981007);
  EXPECT_EQ(t.dates.slots[0].byteSum, 3e9);
  EXPECT_EQ(HitsOf(t.hours, "13"), 1);
  EXPECT_EQ(t.hours.slots[0].hourNumber, 13);
  EXPECT_EQ(t.hours.slots[0].byteSum, 3e9);
  EXPECT_EQ(HitsOf(t.pages, "/docs/index.html"), 1);
  EXPECT_EQ(HitsOf(t.directories, "/Docs"), 1);
  EXPECT_EQ(HitsOf(t.extra1, "ref"), 1);
  EXPECT_EQ(HitsOf(t.extra2, "agent"), 1);
  EXPECT_TRUE(out.counters().hasExtra1);
  EXPECT_TRUE(out.counters().hasExtra2);
  EXPECT_EQ(out.counters().pagesRequested, 1);
}

TEST(ReadRecordsTest, ProxyModeTalliesDomainsAndSchemes) {
  Entry a;
  a.request = "GET http://Www.Example.COM/a/b.html HTTP/1.0";
  Entry b;
  b.request = "GET http://www.example.com/c?d HTTP/1.0";
  Entry c;
  c.request = "GET ftp://files.example.org/x HTTP/1.0";
  Outcome out = ReadLog(Line(a) + Line(b) + Line(c), [](RunSettings& s) { s.proxyMode = true; });
  const Tallies& t = out.tallies();
  EXPECT_EQ(HitsOf(t.pages, "http://www.example.com"), 2);
  EXPECT_EQ(HitsOf(t.pages, "ftp://files.example.org"), 1);
  EXPECT_EQ(HitsOf(t.directories, "http:"), 2);
  EXPECT_EQ(HitsOf(t.directories, "ftp:"), 1);
  EXPECT_EQ(out.counters().processedCount, 3);
}

TEST(ReadRecordsTest, MilestonesOnlyForRoutedRecords) {
  Entry e;
  const std::string ok = Line(e);
  auto repeat = [](const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
  };
  {
    SCOPED_TRACE("999 records");
    EXPECT_EQ(ReadLog(repeat(ok, 999)).console, Transcript("", 999));
  }
  {
    SCOPED_TRACE("1000 records");
    EXPECT_EQ(ReadLog(repeat(ok, 1000)).console, Transcript("1000 records\n", 1000));
  }
  {
    SCOPED_TRACE("the 1000th count is a line without a date");
    EXPECT_EQ(ReadLog(repeat(ok, 999) + "x\n" + ok).console, Transcript("~", 1001));
  }
  {
    SCOPED_TRACE("the 1000th count fails the selection");
    Entry other;
    other.request = "GET /other HTTP/1.0";
    Outcome out = ReadLog(repeat(ok, 999) + Line(other) + ok, [](RunSettings& s) {
      s.selectOn = true;
      s.selectText = "/a/";
    });
    EXPECT_EQ(out.console, Transcript("", 1001));
  }
  {
    SCOPED_TRACE("uncounted lines do not move the count");
    Entry noHour;
    noHour.date = "07/Oct/1998 13";
    std::string log = repeat(ok, 500) + Line(noHour) + repeat(ok, 4500);
    EXPECT_EQ(
        ReadLog(log).console,
        Transcript("Hour Not Found in: " + Line(noHour) + "\n1000 records\n5,000 records\n", 5000));
  }
}

TEST(ReadRecordsTest, HourOffsetWrapsOnce) {
  struct Case {
    int32_t offset;
    const char* hour;
    const char* key;
    int32_t hourNumber;
  };
  const Case cases[] =
      {
          {-2, "01", "23", 23},        {2, "23", "1", 1},  {0, "07", "7", 7},
          {0, "00", "0", 0},           {24, "05", "5", 5}, {-24, "05", "5", 5},
          {100, "05", "81", 81},        // one correction only; the key is cut to 2
          {-100, "05", "-7", -7},       // -71
          {INT32_MAX, "23", "21", 21},  // 2147483646, no overflow
          {INT32_MIN, "00", "-2", -2},  // -2147483624
      };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + " " + c.hour);
    Entry e;
    e.date = std::string("07/Oct/1998:") + c.hour + ":55:36 -0700";
    Outcome out = ReadLog(Line(e), [&](RunSettings& s) { s.hourOffset = c.offset; });
    const HourTable& hours = out.tallies().hours;
    ASSERT_EQ(hours.used, 1u);
    EXPECT_EQ(hours.slots[0].key.view(), c.key);
    EXPECT_EQ(hours.slots[0].hourNumber, c.hourNumber);
  }
}

TEST(ReadRecordsTest, SelectionCountsButTalliesNothing) {
  Entry cgi;
  cgi.request = "GET /CGI-BIN/x HTTP/1.0";
  Entry plain;
  plain.request = "GET /" + std::string(110, 'z') + "/cgi-bin HTTP/1.0";  // beyond 99
  std::string log = Line(cgi) + Line(plain);
  struct Case {
    const char* name;
    const char* select;
    int64_t users;
  };
  const Case cases[] = {
      {"matches without regard to case", "/cgi-bin/", 1},
      {"empty text matches every request", "", 2},
      {"matches nothing", "/nowhere", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome out = ReadLog(log, [&](RunSettings& s) {
      s.selectOn = true;
      s.selectText = c.select;
    });
    EXPECT_EQ(out.counters().processedCount, 2);
    EXPECT_EQ(UserHits(out.tallies().users, "10.0.0.1"), c.users);
    EXPECT_EQ(out.tallies().dates.used, c.users ? 1u : 0u);
    EXPECT_EQ(out.console, Transcript("", 2));
  }
}

TEST(ReadRecordsTest, AddressExclusionDropsTheLineUncounted) {
  Entry a;
  a.client = "Host.Example.com";
  Entry b;
  b.client = "10.1.2.3";
  Entry c;
  c.client = "192.0.2.1";
  Outcome out = ReadLog(Line(a) + Line(b) + Line(c), [](RunSettings& s) {
    s.excludedAddresses = {"10.1.", "host.example"};
  });
  EXPECT_EQ(out.counters().processedCount, 1);
  EXPECT_EQ(out.tallies().users.used, 1u);
  EXPECT_EQ(UserHits(out.tallies().users, "192.0.2.1"), 1);
  EXPECT_EQ(out.tallies().dates.slots[0].hits, 1);
  EXPECT_EQ(CodeCount(out.tallies(), 200), 1);
  EXPECT_EQ(out.counters().pagesRequested, 1);
  EXPECT_EQ(out.console, Transcript("", 1));
}

TEST(ReadRecordsTest, TypeExclusionLeavesOutThePageOnly) {
  Entry gif;
  gif.request = "GET /img/Logo.GIF HTTP/1.0";
  gif.code = "404";
  Entry inside;
  inside.request = "GET /a.gifs/x HTTP/1.0";  // an entry matches anywhere
  Entry html;
  html.request = "GET /img/index.html HTTP/1.0";
  Outcome out = ReadLog(Line(gif) + Line(inside) + Line(html),
                        [](RunSettings& s) { s.excludedTypes = {".gif"}; });
  const Tallies& t = out.tallies();
  EXPECT_EQ(t.pages.used, 1u);
  EXPECT_EQ(HitsOf(t.pages, "/img/index.html"), 1);
  EXPECT_EQ(HitsOf(t.directories, "/img"), 2);
  EXPECT_EQ(HitsOf(t.notFound, "/img/logo.gif"), 1);
  EXPECT_EQ(CodeCount(t, 404), 1);
  EXPECT_EQ(out.counters().processedCount, 3);

  Outcome all = ReadLog(Line(gif) + Line(inside) + Line(html));
  EXPECT_EQ(all.tallies().pages.used, 3u);
}

TEST(ReadRecordsTest, RobotsAreMarkedWhenAsked) {
  Entry robots;
  robots.client = "crawler";
  robots.request = "GET /Robots.TXT HTTP/1.0";
  Entry visitor;
  visitor.client = "visitor";
  const std::string log = Line(visitor) + Line(robots) + Line(visitor);
  struct Case {
    const char* name;
    const char* mode;
    int32_t crawler;
  };
  const Case cases[] = {
      {"RPT", "RPT", 1}, {"any case", "rPt", 1}, {"off", "", 0}, {"other text", "RPTX", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome out = ReadLog(log, [&](RunSettings& s) { s.robotsMode = c.mode; });
    const UserTable& users = out.tallies().users;
    ASSERT_EQ(users.used, 2u);
    EXPECT_EQ(users.slots[0].key.view(), "visitor");
    EXPECT_EQ(users.slots[0].isRobot, 0);
    EXPECT_EQ(users.slots[1].isRobot, c.crawler);
  }
}

TEST(ReadRecordsTest, RobotOfAnUntalliedUserMarksNobody) {
  std::string log;
  for (size_t i = 0; i < kUserCapacity; ++i) {
    Entry e;
    e.client = std::to_string(i);
    log += Line(e);
  }
  Entry robots;
  robots.client = "crawler";
  robots.request = "GET /robots.txt HTTP/1.0";
  log += Line(robots);
  Outcome out = ReadLog(log, [](RunSettings& s) { s.robotsMode = "RPT"; });
  const UserTable& users = out.tallies().users;
  EXPECT_TRUE(users.ranFull);
  for (size_t i = 0; i < users.used; ++i) ASSERT_EQ(users.slots[i].isRobot, 0) << i;
  EXPECT_EQ(out.counters().processedCount, static_cast<int64_t>(kUserCapacity) + 1);
  EXPECT_EQ(HitsOf(out.tallies().pages, "/robots.txt"), 1);
  EXPECT_NE(out.console.find("*ERROR* too many users - ask for upgrade.\n"), std::string::npos);
}

TEST(ReadRecordsTest, UserFromField2) {
  Entry bob;
  bob.idents = "- bob";
  Entry jim;
  jim.idents = "jim -";
  Entry none;
  Outcome out = ReadLog(Line(bob) + Line(jim) + Line(none) + Line(bob),
                        [](RunSettings& s) { s.userFromField2 = true; });
  const UserTable& users = out.tallies().users;
  EXPECT_EQ(UserHits(users, "bob"), 2);
  EXPECT_EQ(UserHits(users, "jim"), 1);
  EXPECT_EQ(UserHits(users, "10.0.0.1"), 1);
  EXPECT_EQ(out.counters().pagesRequested, 4);
}

TEST(ReadRecordsTest, PagesRequestedCountChangesOfUser) {
  struct Case {
    const char* name;
    std::vector<std::string> clients;
    int64_t pages;
  };
  const Case cases[] = {
      {"same user twice", {"a1", "a1"}, 1},
      {"alternating", {"a1", "b2", "a1", "b2"}, 4},
      {"case matters", {"host", "HOST"}, 2},
      {"beginning of the previous counts as no change", {"abc", "ab"}, 1},
      {"longer than the previous is a change", {"ab", "abc"}, 2},
      {"empty user never counts", {"", ""}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string log;
    for (const std::string& client : c.clients) {
      Entry e;
      e.client = client;
      log += Line(e);
    }
    Outcome out = ReadLog(log);
    EXPECT_EQ(out.counters().pagesRequested, c.pages);
  }
}

TEST(ReadRecordsTest, ResponseCodesAndNotFound) {
  std::string log;
  for (const char* code : {"200", "200", "304", "305", "404", "999", "-", "503"}) {
    Entry e;
    e.code = code;
    log += Line(e);
  }
  Outcome out = ReadLog(log);
  const Tallies& t = out.tallies();
  EXPECT_EQ(t.codes.counts[0], 2);  // 305 and 999
  EXPECT_EQ(CodeCount(t, 200), 2);
  EXPECT_EQ(CodeCount(t, 304), 1);
  EXPECT_EQ(CodeCount(t, 404), 1);
  EXPECT_EQ(CodeCount(t, 503), 1);
  int64_t all = 0;
  for (int64_t n : t.codes.counts) all += n;
  EXPECT_EQ(all, 7);  // the "-" line counts nowhere
  EXPECT_EQ(HitsOf(t.notFound, "/a/b.html"), 1);
  EXPECT_EQ(HitsOf(t.extra1, "ref"), 7);  // no extras read without a code
  EXPECT_EQ(out.counters().processedCount, 8);
}

TEST(ReadRecordsTest, ExtraFieldsAndTheirExclusions) {
  struct Case {
    const char* name;
    std::string tail;
    std::vector<std::string> exclude1, exclude2;
    int64_t extra1Hits;
    int64_t extra2Hits;
  };
  const Case cases[] = {
      {"both tallied", " \"Ref\" \"Agent\"", {}, {}, 1, 1},
      {"empty text is a key", " \"\" \"\"", {}, {}, 1, 1},
      {"exclusion matches inside", " \"xRefx\" \"Agent\"", {"Ref"}, {}, 0, 1},
      {"exclusion heeds case", " \"Ref\" \"Agent\"", {"ref"}, {"agent"}, 1, 1},
      {"second excluded", " \"Ref\" \"Agent\"", {}, {"gen"}, 1, 0},
      {"only the first field", " \"Ref\"", {}, {}, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Entry e;
    e.tail = c.tail;
    Outcome out = ReadLog(Line(e), [&](RunSettings& s) {
      s.excludedExtra1 = c.exclude1;
      s.excludedExtra2 = c.exclude2;
    });
    const Tallies& t = out.tallies();
    EXPECT_EQ(t.extra1.used ? t.extra1.slots[0].hits : 0, c.extra1Hits);
    EXPECT_EQ(t.extra2.used ? t.extra2.slots[0].hits : 0, c.extra2Hits);
    EXPECT_EQ(out.counters().hasExtra1, c.extra1Hits != 0);
    EXPECT_EQ(out.counters().hasExtra2, c.extra2Hits != 0);
  }
}

TEST(ReadRecordsTest, LongLineIsOneRecordOfItsFirstBytes) {
  {
    SCOPED_TRACE("long user agent");
    Entry e;
    e.tail = " \"ref\" \"" + std::string(2500, 'A') + "\"";
    Outcome out = ReadLog(Line(e));
    // The first 1997 bytes have every field but an unclosed second extra;
    // the rest of the line is skipped, not read as a line of its own.
    EXPECT_EQ(out.console, Transcript("", 1));
    EXPECT_EQ(out.counters().longLines, 1);
    EXPECT_EQ(out.counters().firstLongLine, 1);
    EXPECT_EQ(HitsOf(out.tallies().extra1, "ref"), 1);
    EXPECT_EQ(out.tallies().extra2.used, 0u);
    EXPECT_FALSE(out.counters().hasExtra2);
  }
  {
    SCOPED_TRACE("long request");
    Entry e;
    e.request = "GET /" + std::string(2500, 'x') + " HTTP/1.0";
    std::string line = Line(e);
    Outcome out = ReadLog(line);
    EXPECT_EQ(out.console, Transcript(" BAD PAGE/b: " + line.substr(0, kLinePieceWidth) + "\n", 0));
    EXPECT_EQ(out.tallies().users.slots[0].hits, 1);
    EXPECT_EQ(out.tallies().pages.used, 0u);
  }
}

TEST(ReadRecordsTest, ReadErrorEndsThePhaseWithWhatWasRead) {
  Entry e;
  Outcome out = ReadLog(Line(e) + Line(e), nullptr, /*failAtEnd=*/true);
  EXPECT_EQ(out.console, Transcript("", 2, "Error reading file..."));
  EXPECT_TRUE(out.counters().readError);
  EXPECT_EQ(out.tallies().users.slots[0].hits, 2);
}

TEST(ReadRecordsTest, StartEmptiesTheTallies) {
  auto state = testing::NewReadingState();
  std::string sink;
  Console console(&sink);
  CountText(state->tallies.pages, "/old");
  CountText(state->tallies.users, "old", 1);
  auto source = LogFromText("");
  LogLineReader reader(*source);
  FaultEnv machine;
  ReadRecords(state->settings, state->tallies, state->counters, reader, console, machine);
  EXPECT_EQ(state->tallies.pages.used, 0u);
  EXPECT_EQ(state->tallies.pages.slots[0].hits, 0);
  EXPECT_EQ(state->tallies.users.used, 0u);
  EXPECT_FALSE(state->tallies.users.recent != 0);
  EXPECT_EQ(sink, Transcript("", 0));
}

}  // namespace
}  // namespace logvane
