#include "tally/sort_tallies.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/reading_state.h"

namespace logvane {
namespace {

struct Sorted {
  std::unique_ptr<testing::ReadingState> state = testing::NewReadingState();
  std::string sink;
  Console console{&sink};
  Tallies& t() { return state->tallies; }
  void Count(std::function<void(Tallies&, std::string_view)> tally,
             const std::vector<std::pair<std::string, int>>& keys) {
    for (const auto& [key, times] : keys) {
      for (int i = 0; i < times; ++i) tally(t(), key);
    }
  }
};

template <typename Table>
std::vector<std::string> KeysInUse(const Table& table) {
  std::vector<std::string> keys;
  for (const auto& slot : table.slots) {
    if (slot.hits > 0) keys.emplace_back(slot.key.view());
  }
  return keys;
}

// Slots in use first: the first slot with no hits ends them.
template <typename Table>
void ExpectInUseFirst(const Table& table, size_t used) {
  for (size_t i = 0; i < used; ++i) EXPECT_GT(table.slots[i].hits, 0) << i;
  for (size_t i = used; i < Table::kCapacity; ++i) ASSERT_EQ(table.slots[i].hits, 0) << i;
}

TEST(SortTalliesTest, PrintsItsLineAndFlushes) {
  Sorted s;
  s.console.SetLineFlush(false);
  SortTallies(s.state->settings, s.state->counters, s.state->tallies, s.console);
  EXPECT_EQ(s.sink, "sorting...\n\n\n");
}

TEST(SortTalliesTest, RankedTablesLargestFirstThenFreeSlots) {
  Sorted s;
  for (auto [user, hits] : {std::pair{"five", 5}, {"nine", 9}, {"two", 2}}) {
    for (int i = 0; i < hits; ++i) CountText(s.t().users, user, 1);
  }
  s.Count([](Tallies& t, std::string_view k) { CountText(t.pages, k); },
          {{"/a", 1}, {"/b", 3}, {"/c", 3}, {"/d", 2}});
  s.state->counters.hasExtra1 = s.state->counters.hasExtra2 = true;
  s.Count([](Tallies& t, std::string_view k) { CountText(t.extra2, k); }, {{"x", 1}, {"y", 2}});
  SortTallies(s.state->settings, s.state->counters, s.state->tallies, s.console);
  const UserTable& users = s.t().users;
  EXPECT_EQ(KeysInUse(users), (std::vector<std::string>{"nine", "five", "two"}));
  ExpectInUseFirst(users, 3);
  // Equal counts keep their first-seen order.
  EXPECT_EQ(KeysInUse(s.t().pages), (std::vector<std::string>{"/b", "/c", "/d", "/a"}));
  ExpectInUseFirst(s.t().pages, 4);
  EXPECT_EQ(KeysInUse(s.t().extra2), (std::vector<std::string>{"y", "x"}));
}

TEST(SortTalliesTest, DaysAndHoursInTimeOrder) {
  Sorted s;
  for (const char* day : {"07/Oct/1998", "05/Oct/1998", "06/Oct/1998", "01/Jan/1999"}) {
    CountText(s.t().dates, day, 1);
  }
  for (const char* hour : {"13", "0", "-7", "9", "23"}) CountText(s.t().hours, hour, 1);
  SortTallies(s.state->settings, s.state->counters, s.state->tallies, s.console);
  std::vector<int32_t> days;
  for (const DateEntry& e : s.t().dates.slots) {
    if (e.hits > 0) days.push_back(e.dateNumber);
  }
  EXPECT_EQ(days, (std::vector<int32_t>{19981005, 19981006, 19981007, 19990101}));
  std::vector<int32_t> hours;
  for (const HourEntry& e : s.t().hours.slots) {
    if (e.hits > 0) hours.push_back(e.hourNumber);
  }
  EXPECT_EQ(hours, (std::vector<int32_t>{-7, 0, 9, 13, 23}));
  // The byte sums travel with their entries.
  EXPECT_EQ(s.t().dates.slots[0].key.view(), "05/Oct/1998");
  EXPECT_EQ(s.t().dates.slots[0].byteSum, 1.0);
}

// Each table is sorted only when its section is on (the extras: when a
// record reached them).
TEST(SortTalliesTest, SwitchedOffTablesKeepFirstSeenOrder) {
  using Tally = std::function<void(Tallies&, std::string_view)>;
  struct Case {
    const char* name;
    std::function<void(testing::ReadingState&, bool)> enable;
    Tally tally;
    std::function<std::vector<std::string>(const Tallies&)> keys;
  };
  const std::vector<std::pair<std::string, int>> counts = {{"1", 1}, {"3", 3}, {"2", 2}};
  const Case cases[] = {
      {"users", [](testing::ReadingState& s, bool on) { s.settings.showUsers = on; },
       [](Tallies& t, std::string_view k) { CountText(t.users, k, 0); },
       [](const Tallies& t) { return KeysInUse(t.users); }},
      {"pages", [](testing::ReadingState& s, bool on) { s.settings.showPages = on; },
       [](Tallies& t, std::string_view k) { CountText(t.pages, k); },
       [](const Tallies& t) { return KeysInUse(t.pages); }},
      {"directories", [](testing::ReadingState& s, bool on) { s.settings.showDirs = on; },
       [](Tallies& t, std::string_view k) { CountText(t.directories, k); },
       [](const Tallies& t) { return KeysInUse(t.directories); }},
      {"not found", [](testing::ReadingState& s, bool on) { s.settings.showCodes = on; },
       [](Tallies& t, std::string_view k) { CountText(t.notFound, k); },
       [](const Tallies& t) { return KeysInUse(t.notFound); }},
      {"extra 1", [](testing::ReadingState& s, bool on) { s.counters.hasExtra1 = on; },
       [](Tallies& t, std::string_view k) { CountText(t.extra1, k); },
       [](const Tallies& t) { return KeysInUse(t.extra1); }},
      {"extra 2", [](testing::ReadingState& s, bool on) { s.counters.hasExtra2 = on; },
       [](Tallies& t, std::string_view k) { CountText(t.extra2, k); },
       [](const Tallies& t) { return KeysInUse(t.extra2); }},
      {"dates", [](testing::ReadingState& s, bool on) { s.settings.showDates = on; },
       [](Tallies& t, std::string_view k) {
         CountText(t.dates, std::string("0") + std::string(k) + "/Oct/1998", 0);
       },
       [](const Tallies& t) { return KeysInUse(t.dates); }},
      {"hours", [](testing::ReadingState& s, bool on) { s.settings.showHours = on; },
       [](Tallies& t, std::string_view k) { CountText(t.hours, k, 0); },
       [](const Tallies& t) { return KeysInUse(t.hours); }},
  };
  for (const Case& c : cases) {
    for (bool on : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (on ? " on" : " off"));
      Sorted s;
      s.Count(c.tally, counts);
      c.enable(*s.state, on);
      SortTallies(s.state->settings, s.state->counters, s.state->tallies, s.console);
      std::vector<std::string> keys = c.keys(s.t());
      std::vector<std::string> expected;
      bool byTime = std::string_view(c.name) == "dates" || std::string_view(c.name) == "hours";
      if (!on) {
        expected = {"1", "3", "2"};
      } else {
        expected = byTime ? std::vector<std::string>{"1", "2", "3"}
                          : std::vector<std::string>{"3", "2", "1"};
      }
      if (std::string_view(c.name) == "dates") {
        for (std::string& k : expected) k = "0" + k + "/Oct/1998";
      }
      EXPECT_EQ(keys, expected);
    }
  }
}

// Each hour's and page's response times move with their slot.
TEST(SortTalliesTest, ResponseTimesMoveWithTheirSlots) {
  Sorted s;
  s.Count([](Tallies& t, std::string_view k) { CountText(t.hours, k); }, {{"9", 1}, {"3", 1}});
  s.Count([](Tallies& t, std::string_view k) { CountText(t.pages, k); }, {{"/a", 1}, {"/b", 2}});
  ResponseTimes& times = s.t().times;
  AddLatency(times.overall, 1);
  AddLatency(times.hours[0], 900);              // "9"
  AddLatency(times.hours[1], 300);              // "3"
  AddPageLatency(PageSketches(times)[0], 111);  // "/a"
  AddPageLatency(PageSketches(times)[1], 222);  // "/b"
  SortTallies(s.state->settings, s.state->counters, s.t(), s.console);
  EXPECT_EQ(s.t().hours.slots[0].key.view(), "3");
  EXPECT_EQ(times.hours[0].maxMicros, 300u);
  EXPECT_EQ(times.hours[1].maxMicros, 900u);
  EXPECT_EQ(s.t().pages.slots[0].key.view(), "/b");
  EXPECT_EQ(times.pages[0].maxMicros, 222u);
  EXPECT_EQ(times.pages[1].maxMicros, 111u);
}

}  // namespace
}  // namespace logvane
