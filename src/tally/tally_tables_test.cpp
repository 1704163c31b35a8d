#include "tally/tally_tables.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace logvane {
namespace {

struct Fixture {
  std::unique_ptr<Tallies> tallies = std::make_unique<Tallies>();
  std::string out;
  Console console{&out};
  Fixture() { ClearTallies(*tallies); }
  Tallies& t() { return *tallies; }
};

// Counts `key` in one of the general tables of `t`; `used` and `hits` read
// the same table back.
struct GeneralTable {
  const char* name;
  size_t capacity;
  std::function<void(Tallies&, std::string_view)> count;
  std::function<size_t(const Tallies&)> used;
  std::function<int64_t(const Tallies&, size_t)> hits;
  std::function<std::string_view(const Tallies&, size_t)> key;
  std::function<int64_t(const Tallies&)> dropped;
};

template <typename Table>
GeneralTable MakeTable(const char* name, Table Tallies::*table) {
  return GeneralTable{
      name,
      Table::kCapacity,
      [table](Tallies& t, std::string_view k) { CountText(t.*table, k, 10); },
      [table](const Tallies& t) { return (t.*table).used; },
      [table](const Tallies& t, size_t i) { return (t.*table).slots[i].hits; },
      [table](const Tallies& t, size_t i) { return (t.*table).slots[i].key.view(); },
      [table](const Tallies& t) { return (t.*table).dropped; },
  };
}

std::vector<GeneralTable> AllGeneralTables() {
  return {
      MakeTable("dates", &Tallies::dates),        MakeTable("hours", &Tallies::hours),
      MakeTable("pages", &Tallies::pages),        MakeTable("directories", &Tallies::directories),
      MakeTable("not found", &Tallies::notFound), MakeTable("extra 1", &Tallies::extra1),
      MakeTable("extra 2", &Tallies::extra2),
  };
}

// Distinct keys that fit every table's key width, hours' two included.
std::string KeyNumber(size_t i) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string key;
  do {
    key.push_back(kDigits[i % 36]);
    i /= 36;
  } while (i != 0);
  return key;
}

TEST(TallyTablesTest, EveryTableFillsItsSlotsThenReportsEachNewKey) {
  for (const GeneralTable& table : AllGeneralTables()) {
    SCOPED_TRACE(table.name);
    Fixture f;
    for (size_t i = 0; i < table.capacity; ++i) table.count(f.t(), KeyNumber(i));
    EXPECT_EQ(table.used(f.t()), table.capacity);
    EXPECT_EQ(table.dropped(f.t()), 0);
    // Two new keys, and two records of keys already counted.
    table.count(f.t(), "new key");
    table.count(f.t(), KeyNumber(0));
    table.count(f.t(), "nEW key");
    table.count(f.t(), KeyNumber(table.capacity - 1));
    EXPECT_EQ(table.dropped(f.t()), 2);
    EXPECT_EQ(table.used(f.t()), table.capacity);
    EXPECT_EQ(table.hits(f.t(), 0), 2);
    EXPECT_EQ(table.hits(f.t(), table.capacity - 1), 2);
    EXPECT_EQ(table.hits(f.t(), 1), 1);
  }
}

TEST(TallyTablesTest, KeysFoldOnlyLettersAndKeepTheirFirstCase) {
  struct Case {
    const char* name;
    std::string first;
    std::string second;
    bool same;
  };
  const Case cases[] = {
      {"letters", "/Images", "/iMAGES", true},
      {"brackets are not letters", "[x]", "{x}", false},
      {"at sign and grave", "@x", "`x", false},
      {"bytes above 127", "caf\xC9", "caf\xE9", false},
      {"long keys with a late difference", std::string(40, 'a') + "Q", std::string(40, 'A') + "q",
       true},
      {"long keys that differ", std::string(40, 'a') + "Q", std::string(40, 'a') + "R", false},
      {"cut to 100", std::string(100, 'k') + "1", std::string(100, 'K') + "2", true},
      {"empty key", "", "", true},
  };
  for (const GeneralTable& table : AllGeneralTables()) {
    if (std::string_view(table.name) == "hours" || std::string_view(table.name) == "dates") {
      continue;  // short keys: below
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(table.name) + ": " + c.name);
      Fixture f;
      table.count(f.t(), c.first);
      table.count(f.t(), c.second);
      ASSERT_EQ(table.used(f.t()), c.same ? 1u : 2u);
      EXPECT_EQ(table.key(f.t(), 0), std::string_view(c.first).substr(0, kKeyWidth));
      EXPECT_EQ(table.hits(f.t(), 0), c.same ? 2 : 1);
    }
  }
}

TEST(TallyTablesTest, DatesAndHours) {
  Fixture f;
  CountText(f.t().dates, "07/Oct/1998", 100);
  CountText(f.t().dates, "07/OCT/1998", 50);
  CountText(f.t().dates, "7/Xyz/1998x", 1);  // cut to 11, month 0
  CountText(f.t().hours, "7", 5);
  CountText(f.t().hours, "123", 5);  // cut to 2
  CountText(f.t().hours, "12", 1);
  const DateTable& dates = f.t().dates;
  ASSERT_EQ(dates.used, 2u);
  EXPECT_EQ(dates.slots[0].key.view(), "07/Oct/1998");
  EXPECT_EQ(dates.slots[0].hits, 2);
  EXPECT_EQ(dates.slots[0].byteSum, 150.0);
  EXPECT_EQ(dates.slots[0].dateNumber, 19981007);
  EXPECT_EQ(dates.slots[1].key.view(), "7/Xyz/1998x");
  const HourTable& hours = f.t().hours;
  ASSERT_EQ(hours.used, 2u);
  EXPECT_EQ(hours.slots[0].hourNumber, 7);
  EXPECT_EQ(hours.slots[1].key.view(), "12");
  EXPECT_EQ(hours.slots[1].hourNumber, 12);
  EXPECT_EQ(hours.slots[1].hits, 2);
  EXPECT_EQ(hours.slots[1].byteSum, 6.0);
}

TEST(TallyTablesTest, DateNumbers) {
  struct Case {
    const char* text;
    int32_t number;
  };
  const Case cases[] = {
      {"07/Oct/1998", 19981007}, {"16/jan/1999", 19990116}, {"31/DEC/2026", 20261231},
      {"05/Xyz/1998", 19980005}, {"05/Oct", 1005},          {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(DateNumberOf(c.text), c.number);
  }
}

TEST(TallyTablesTest, UserShortcutAndCaseVariants) {
  Fixture f;
  UserTable& users = f.t().users;
  EXPECT_NE(CountText(users, "Alice", 10), kTableFull);
  EXPECT_NE(CountText(users, "Bob", 1), kTableFull);
  EXPECT_NE(CountText(users, "alice", 20), kTableFull);  // not the last: found again
  EXPECT_EQ(users.recent, 1u);
  EXPECT_TRUE(users.recent != 0);
  EXPECT_NE(CountText(users, "alice", 1), kTableFull);  // the shortcut
  EXPECT_NE(CountText(users, "ALICE", 1), kTableFull);  // shortcut misses, same entry
  ASSERT_EQ(users.used, 2u);
  EXPECT_EQ(users.slots[0].key.view(), "Alice");
  EXPECT_EQ(users.slots[0].hits, 4);
  EXPECT_EQ(users.slots[0].byteSum, 32.0);
  EXPECT_EQ(users.slots[1].hits, 1);
  EXPECT_NE(CountText(users, std::string(100, 'n') + "x", 1), kTableFull);
  EXPECT_NE(CountText(users, std::string(100, 'N') + "y", 1), kTableFull);
  EXPECT_EQ(users.used, 3u);
  EXPECT_EQ(users.slots[2].hits, 2);
  EXPECT_NE(CountText(users, "", 1), kTableFull);
  EXPECT_EQ(users.used, 4u);
}

TEST(TallyTablesTest, FullUserTable) {
  Fixture f;
  UserTable& users = f.t().users;
  for (size_t i = 0; i < kUserCapacity; ++i)
    ASSERT_NE(CountText(users, KeyNumber(i), 1), kTableFull);
  EXPECT_FALSE(users.ranFull);
  EXPECT_EQ(CountText(users, "stranger", 5), kTableFull);
  EXPECT_TRUE(users.ranFull);
  EXPECT_EQ(users.recent, kUserCapacity);  // unchanged
  EXPECT_NE(CountText(users, KeyNumber(3), 5), kTableFull);
  EXPECT_EQ(users.slots[3].hits, 2);
  EXPECT_EQ(CountText(users, "stranger", 5), kTableFull);
  EXPECT_EQ(users.dropped, 2);
  EXPECT_EQ(users.used, kUserCapacity);
  ClearTallies(f.t());
  EXPECT_TRUE(users.ranFull);  // kept for the report's note
}

// The index must give exactly what a walk over the slots in use would:
// same slots, same order, same first-seen keys, same counts and the same records dropped.
TEST(TallyTablesTest, IndexAgreesWithALinearWalk) {
  std::mt19937 random(11);
  Fixture f;
  struct Slot {
    std::string key;
    int64_t hits;
  };
  std::vector<Slot> model;
  int64_t expectedDropped = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string key = "/d" + std::to_string(random() % 1300);
    for (char& c : key) {
      if (random() % 2) c = UpperChar(c);
    }
    // Another thread's search finds the slot the count is about to use.
    int32_t shared = SharedSlotOf(f.t().directories, HashKey(key));
    CountText(f.t().directories, key);
    bool found = false;
    for (size_t s = 0; s < model.size(); ++s) {
      if (EqualsFolded(model[s].key, key)) {
        ++model[s].hits;
        ASSERT_EQ(shared, static_cast<int32_t>(s)) << key;
        found = true;
        break;
      }
    }
    if (!found) {
      ASSERT_EQ(shared, -1) << key;
      if (model.size() == kDirectoryCapacity) {
        ++expectedDropped;
      } else {
        model.push_back({key, 1});
      }
    }
  }
  const DirectoryTable& table = f.t().directories;
  ASSERT_EQ(table.used, model.size());
  for (size_t i = 0; i < model.size(); ++i) {
    ASSERT_EQ(table.slots[i].key.view(), model[i].key) << i;
    ASSERT_EQ(table.slots[i].hits, model[i].hits) << i;
  }
  EXPECT_EQ(table.dropped, expectedDropped);
}

TEST(TallyTablesTest, ClearEmptiesTablesButNotCodes) {
  Fixture f;
  CountText(f.t().users, "u", 1);
  CountText(f.t().pages, "/p");
  CountText(f.t().dates, "07/Oct/1998", 1);
  CountResponseCode(f.t().codes, 200);
  f.t().weekdays.days[2].hits = 5;
  ClearTallies(f.t());
  EXPECT_EQ(f.t().users.used, 0u);
  EXPECT_FALSE(f.t().users.recent != 0);
  EXPECT_EQ(f.t().users.slots[0].hits, 0);
  EXPECT_EQ(f.t().pages.used, 0u);
  EXPECT_EQ(f.t().pages.slots[0].key.size, 0u);
  EXPECT_EQ(f.t().dates.slots[0].dateNumber, 0);
  EXPECT_EQ(f.t().weekdays.days[2].hits, 0);
  EXPECT_EQ(ResponseCount(f.t().codes, 200), 1);
  // Keys counted before are new again.
  CountText(f.t().pages, "/p");
  EXPECT_EQ(f.t().pages.used, 1u);
  EXPECT_EQ(f.t().pages.slots[0].hits, 1);
}

TEST(TallyTablesTest, ResponseCodeCounters) {
  Fixture f;
  for (int code : kCountedCodes) CountResponseCode(f.t().codes, code);
  for (int code : {100, 206, 305, 999, -1}) CountResponseCode(f.t().codes, code);
  CountResponseCode(f.t().codes, 404);
  EXPECT_EQ(f.t().codes.counts[0], 5);
  EXPECT_EQ(ResponseCounterIndex(200), 1u);
  EXPECT_EQ(ResponseCounterIndex(503), 14u);
  EXPECT_EQ(ResponseCount(f.t().codes, 404), 2);
  EXPECT_EQ(ResponseCount(f.t().codes, 301), 1);
}

}  // namespace
}  // namespace logvane
