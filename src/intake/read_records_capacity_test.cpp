// Every tally table filled through the reading phase: the table's message
// once for each record that brings a new key, that record's count dropped
// in that table alone, and the line still counted.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "intake/log_source.h"
#include "intake/read_records.h"
#include "support/reading_state.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::kFakeTime;

struct Line {
  std::string client = "10.0.0.1";
  std::string date = "07/Oct/1998";
  std::string hour = "13";
  std::string url = "/a/b.html";
  std::string code = "200";
  std::string extra1 = "ref";
  std::string extra2 = "agent";
  std::string Text() const {
    std::string t = client;
    t.append(" - - [").append(date).append(":").append(hour).append(":55:36 -0700] \"GET ");
    t.append(url).append(" HTTP/1.0\" ").append(code).append(" 100 \"").append(extra1);
    t.append("\" \"").append(extra2).append("\"\n");
    return t;
  }
};

std::string Milestones(size_t upTo) {
  static const std::pair<size_t, const char*> kAll[] = {{1000, "1000 records"},
                                                        {5000, "5,000 records"},
                                                        {10000, "10,000 records"},
                                                        {25000, "25,000 records"},
                                                        {50000, "50,000 records"}};
  std::string text;
  for (const auto& [count, line] : kAll) {
    if (count <= upTo) text.append(line).append("\n");
  }
  return text;
}

// The hits of a table's slots in use, in slot order.
struct Kept {
  size_t used;
  int64_t firstHits;
  int64_t secondHits;
  int64_t lastHits;
  int64_t sum;
};

template <typename Entry>
Kept KeptIn(const Entry* slots, size_t used) {
  Kept k{used, slots[0].hits, slots[1].hits, slots[used - 1].hits, 0};
  for (size_t i = 0; i < used; ++i) k.sum += slots[i].hits;
  return k;
}

struct Case {
  const char* table;
  size_t capacity;
  const char* message;
  std::function<void(Line&, size_t)> key;  // gives the line key number i
  std::function<Kept(const Tallies&)> kept;
};

// Texts joined by appending: gcc 12 warns falsely on chains of +.
std::string Cat(std::string_view a, size_t n, std::string_view b = "") {
  std::string text(a);
  text.append(std::to_string(n)).append(b);
  return text;
}

// Distinct valid days: 28 a month from January 1990 on.
std::string DateOf(size_t i) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string day = std::to_string(101 + i % 28).substr(1);
  return Cat(day + "/" + kMonths[i / 28 % 12] + "/", 1990 + i / (28 * 12));
}

TEST(ReadRecordsCapacityTest, EveryTableFullThroughTheReadingPhase) {
  const Case cases[] = {
      {"users", kUserCapacity, "*ERROR* too many users - ask for upgrade.",
       [](Line& l, size_t i) { l.client = Cat("u", i); },
       [](const Tallies& t) { return KeptIn(t.users.slots, t.users.used); }},
      {"pages", kPageCapacity, "*ERROR* More than 50000 unique pages",
       [](Line& l, size_t i) { l.url = Cat("/p/", i, ".html"); },
       [](const Tallies& t) { return KeptIn(t.pages.slots, t.pages.used); }},
      {"not found", kNotFoundCapacity, "*ERROR* Too many NOT FOUND pages, ask for free upgrade.",
       [](Line& l, size_t i) {
         l.url = Cat("/gone/", i, ".html");
         l.code = "404";
       },
       [](const Tallies& t) { return KeptIn(t.notFound.slots, t.notFound.used); }},
      {"directories", kDirectoryCapacity, "*ERROR* More than 1000 unique directories",
       [](Line& l, size_t i) { l.url = Cat("/d", i, "/x.html"); },
       [](const Tallies& t) { return KeptIn(t.directories.slots, t.directories.used); }},
      {"extra 1", kExtra1Capacity, "*ERROR* More than 3000 unique extra(1) entries.",
       [](Line& l, size_t i) { l.extra1 = Cat("http://ref.example/", i); },
       [](const Tallies& t) { return KeptIn(t.extra1.slots, t.extra1.used); }},
      {"extra 2", kExtra2Capacity, "*ERROR* More than 2000 unique extra(2) entries.",
       [](Line& l, size_t i) { l.extra2 = Cat("Agent/", i); },
       [](const Tallies& t) { return KeptIn(t.extra2.slots, t.extra2.used); }},
      {"dates", kDateCapacity, "*ERROR* More than 500 dates.",
       [](Line& l, size_t i) { l.date = DateOf(i); },
       [](const Tallies& t) { return KeptIn(t.dates.slots, t.dates.used); }},
      // Hours 00 to 23 and 48 (which the offset correction leaves at 24)
      // fill the 25 slots; 49, 50 and 51 are more.
      {"hours", kHourCapacity, "*ERROR* More than 24 hours !?!",
       [](Line& l, size_t i) { l.hour = std::to_string(i < 24 ? 100 + i : 124 + i).substr(1); },
       [](const Tallies& t) { return KeptIn(t.hours.slots, t.hours.used); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    // Every key once, then three new keys between records of the first and
    // the last key.
    std::string log;
    auto add = [&](size_t i) {
      Line line;
      c.key(line, i);
      log += line.Text();
    };
    for (size_t i = 0; i < c.capacity; ++i) add(i);
    add(c.capacity);
    add(0);
    add(c.capacity + 1);
    add(c.capacity - 1);
    add(c.capacity + 2);

    std::unique_ptr<testing::ReadingState> state = testing::NewReadingState();
    state->settings.robotsMode = "RPT";
    std::string captured;
    Console console(&captured);
    std::unique_ptr<LogSource> source = LogFromText(log);
    LogLineReader reader(*source);
    FaultEnv machine;
    ReadRecords(state->settings, state->tallies, state->counters, reader, console, machine);

    const size_t lines = c.capacity + 5;
    std::string message = std::string(c.message) + "\n";
    std::string expected = " - reading records...\n\nstarted: ";
    expected.append(kFakeTime).append("\n").append(Milestones(lines));
    expected.append(message).append(message).append(message).append("End of file...\n");
    expected.append("completed reading... processed: ").append(std::to_string(lines));
    expected.append(" records.\n");
    EXPECT_EQ(captured, expected);

    Kept kept = c.kept(state->tallies);
    EXPECT_EQ(kept.used, c.capacity);
    EXPECT_EQ(kept.firstHits, 2);
    EXPECT_EQ(kept.secondHits, 1);
    EXPECT_EQ(kept.lastHits, 2);
    EXPECT_EQ(kept.sum, static_cast<int64_t>(c.capacity) + 2);
    // The records that met the full table went on into every other tally.
    const Tallies& t = state->tallies;
    const int64_t all = static_cast<int64_t>(lines);
    if (c.table != std::string_view("hours")) {
      EXPECT_EQ(KeptIn(t.hours.slots, t.hours.used).sum, all);
    }
    if (c.table != std::string_view("directories")) {
      EXPECT_EQ(KeptIn(t.directories.slots, t.directories.used).sum, all);
    }
    EXPECT_EQ(state->counters.processedCount, all);
    EXPECT_EQ(t.users.ranFull, c.table == std::string_view("users"));
  }
}

TEST(ReadRecordsCapacityTest, UsersBeyondTheFullTable) {
  // A new user that finds the table full still changes the user for the
  // page count, and its robots request marks nobody: not the user counted
  // before it either.
  std::string log;
  for (size_t i = 0; i < kUserCapacity; ++i) {
    Line line;
    line.client = Cat("u", i);
    log += line.Text();
  }
  Line robot;
  robot.client = "crawler";
  robot.url = "/robots.txt";
  log += robot.Text() + robot.Text();
  Line known;
  known.client = "U7";  // user u7, written in other case
  log += known.Text();

  std::unique_ptr<testing::ReadingState> state = testing::NewReadingState();
  state->settings.robotsMode = "rpt";
  std::string captured;
  Console console(&captured);
  std::unique_ptr<LogSource> source = LogFromText(log);
  LogLineReader reader(*source);
  FaultEnv machine;
  ReadRecords(state->settings, state->tallies, state->counters, reader, console, machine);

  const UserTable& users = state->tallies.users;
  EXPECT_EQ(users.used, kUserCapacity);
  for (size_t i = 0; i < kUserCapacity; ++i) ASSERT_EQ(users.slots[i].isRobot, 0) << i;
  EXPECT_EQ(users.slots[7].hits, 2);
  EXPECT_EQ(users.slots[7].key.view(), "u7");
  // 50,000 users, then crawler (a change), crawler again, then U7.
  EXPECT_EQ(state->counters.pagesRequested, static_cast<int64_t>(kUserCapacity) + 2);
  EXPECT_EQ(state->counters.processedCount, static_cast<int64_t>(kUserCapacity) + 3);
  size_t messages = 0;
  for (size_t at = 0; (at = captured.find("*ERROR* too many users", at)) != std::string::npos;
       ++at) {
    ++messages;
  }
  EXPECT_EQ(messages, 2u);
}

}  // namespace
}  // namespace logvane
