#include "config/date_range.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

DateRange Range(std::string_view from, std::string_view until) {
  DateRange range;
  if (!from.empty()) {
    EXPECT_TRUE(ParseDateBound(from, BoundKind::kFrom, &range.from).ok()) << from;
  }
  if (!until.empty()) {
    EXPECT_TRUE(ParseDateBound(until, BoundKind::kUntil, &range.until).ok()) << until;
  }
  return range;
}

// "2025-03-01 00:00:00 +0100" as a record carries it.
RecordTime At(std::string_view text) {
  auto n = [&](size_t at, size_t len) { return std::stoi(std::string(text.substr(at, len))); };
  int offset = n(21, 2) * 60 + n(23, 2);
  return {
      n(0, 4), n(5, 2), n(8, 2), n(11, 2), n(14, 2), n(17, 2), text[20] == '-' ? -offset : offset};
}

TEST(DateRangeTest, KeepsRecordsAtTheBordersOfEachDayAndZone) {
  struct Case {
    std::string_view from;
    std::string_view until;
    std::string_view record;
    bool before;  // before FROM
    bool after;   // at or after UNTIL
  };
  const Case cases[] = {
      // A date without an offset is a day on each record's own clock.
      {"2025-03-01", "", "2025-02-28 23:59:59 +0100", true, false},
      {"2025-03-01", "", "2025-03-01 00:00:00 -0800", false, false},
      {"2025-03-01", "", "2025-03-01 00:00:00 +1400", false, false},
      {"", "2025-03-01", "2025-03-01 23:59:59 -1200", false, false},
      {"", "2025-03-01", "2025-03-02 00:00:00 +0000", false, true},
      // A time without an offset: FROM inclusive, UNTIL exclusive.
      {"2025-03-01T12:00", "2025-03-01T13:30:15", "2025-03-01 11:59:59 +0200", true, false},
      {"2025-03-01T12:00", "2025-03-01T13:30:15", "2025-03-01 12:00:00 +0200", false, false},
      {"2025-03-01T12:00", "2025-03-01T13:30:15", "2025-03-01 13:30:14 +0200", false, false},
      {"2025-03-01T12:00", "2025-03-01T13:30:15", "2025-03-01 13:30:15 +0200", false, true},
      // With an offset, an instant: records are placed by their own offset.
      {"2025-03-01T00:00Z", "", "2025-03-01 00:30:00 +0100", true, false},
      {"2025-03-01T00:00Z", "", "2025-02-28 19:00:00 -0500", false, false},
      {"2025-03-01T00:00Z", "", "2025-02-28 23:59:59 +0000", true, false},
      {"2025-06-01T00:00-05:30", "", "2025-06-01 10:59:59 +0530", true, false},
      {"2025-06-01T00:00-0530", "", "2025-06-01 11:00:00 +0530", false, false},
      // UNTIL a date with an offset: that whole day in that zone.
      {"", "2025-03-01+02:00", "2025-03-01 22:59:59 +0100", false, false},
      {"", "2025-03-01+02", "2025-03-01 23:00:00 +0100", false, true},
      // Leap day and year end.
      {"2024-02-29", "2024-12-31", "2024-02-28 23:59:59 +0000", true, false},
      {"2024-02-29", "2024-12-31", "2024-02-29 00:00:00 +0000", false, false},
      {"2024-02-29", "2024-12-31", "2024-12-31 23:59:59 +0000", false, false},
      {"2024-02-29", "2024-12-31", "2025-01-01 00:00:00 +0000", false, true},
      // Lower case and a blank for the T, blanks around.
      {" 2025-03-01t08:00z ", "", "2025-03-01 08:00:00 +0000", false, false},
      {"2025-03-01 08:00", "", "2025-03-01 07:59:59 +0000", true, false},
  };
  for (const Case& c : cases) {
    DateRange range = Range(c.from, c.until);
    RecordTime t = At(c.record);
    EXPECT_EQ(BeforeFrom(range, t), c.before) << c.from << " / " << c.until << " / " << c.record;
    EXPECT_EQ(AtOrAfterUntil(range, t), c.after) << c.from << " / " << c.until << " / " << c.record;
    EXPECT_EQ(InDateRange(range, t), !c.before && !c.after);
  }
  EXPECT_TRUE(InDateRange(DateRange{}, At("1970-01-01 00:00:00 +0000")));
}

TEST(DateRangeTest, RefusesWhatIsNoDateOrTime) {
  const std::string forms =
      "write YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], with an optional offset such as Z or +02:00";
  const std::pair<std::string_view, std::string> cases[] = {
      {"2025-13-01", "month 13 does not exist"},
      {"2025-00-10", "month 00 does not exist"},
      {"2025-02-30", "2025-02 has no day 30"},
      {"2023-02-29", "2023-02 has no day 29"},
      {"2025-04-31", "2025-04 has no day 31"},
      {"yesterday", "'yesterday' is not a date: " + forms},
      {"", "'' is not a date: " + forms},
      {"2025-3-1", "'2025-3-1' is not a date: " + forms},
      {"2025-03-01x", "text after the date or time: 'x'; " + forms},
      {"2025-03-01T10:00:00.5", "text after the date or time: '.5'; " + forms},
      {"2025-03-01T10:00+2", "text after the date or time: '+2'; " + forms},
      {"2025-03-01T10", "'2025-03-01T10' has no time HH:MM after its date: " + forms},
      {"2025-03-01T10:00:", "'2025-03-01T10:00:' has no seconds after the colon"},
      {"2025-03-01T24:00", "hour 24 does not exist"},
      {"2025-03-01T10:60", "minute 60 does not exist"},
      {"2025-03-01T10:00:60", "second 60 does not exist"},
      {"2025-03-01T10:00+24:00", "the zone offset '+24:00' does not exist"},
      {"2025-03-01T10:00+02:60", "the zone offset '+02:60' does not exist"},
  };
  for (const auto& [value, reason] : cases) {
    DateBound bound;
    Status status = ParseDateBound(value, BoundKind::kFrom, &bound);
    EXPECT_EQ(status.ToString(), reason) << value;
    EXPECT_FALSE(bound.set);
  }
}

TEST(DateRangeTest, RefusesARangeThatKeepsNothing) {
  EXPECT_FALSE(CheckDateRange(Range("2025-03-02", "2025-03-01")).ok());
  EXPECT_FALSE(CheckDateRange(Range("2025-03-01T12:00", "2025-03-01T12:00")).ok());
  EXPECT_EQ(CheckDateRange(Range("2025-03-02", "2025-03-01")).ToString(),
            "FROM is not before UNTIL, so no record would be counted");
  EXPECT_TRUE(CheckDateRange(Range("2025-03-01", "2025-03-01")).ok());         // that one day
  EXPECT_TRUE(CheckDateRange(Range("2025-03-02", "2025-03-01T23:00Z")).ok());  // other clocks
  EXPECT_TRUE(CheckDateRange(Range("2025-03-02", "")).ok());
}

TEST(DateRangeTest, CalendarSecondsRoundTrip) {
  for (int64_t seconds : {int64_t{0}, int64_t{951782400} /* 2000-02-29 */, int64_t{-1},
                          int64_t{-62167219200} /* 0000-01-01 */, int64_t{253402300799}}) {
    RecordTime t = CivilTimeOf(seconds);
    EXPECT_EQ(CivilSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second), seconds);
  }
  RecordTime leap = CivilTimeOf(951782400);
  EXPECT_EQ(leap.year, 2000);
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
  RecordTime last = CivilTimeOf(253402300799);
  EXPECT_EQ(last.year, 9999);
  EXPECT_EQ(last.hour, 23);
  EXPECT_EQ(last.second, 59);
}

}  // namespace
}  // namespace logvane
