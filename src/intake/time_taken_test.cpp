#include "intake/time_taken.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace logvane {
namespace {

constexpr TimeTakenForm kSeconds{TimeUnit::kSeconds, false};
constexpr TimeTakenForm kMillis{TimeUnit::kMilliseconds, false};
constexpr TimeTakenForm kMicros{TimeUnit::kMicroseconds, false};
constexpr TimeTakenForm kNanos{TimeUnit::kNanoseconds, false};
constexpr TimeTakenForm kUpstream{TimeUnit::kSeconds, true};

std::optional<uint64_t> Parsed(std::string_view text, TimeTakenForm form) {
  uint64_t micros = 12345678;
  if (!ParseTimeTaken(text, form, &micros)) return std::nullopt;
  return micros;
}

TEST(TimeTakenTest, ReadsEveryFormInItsUnit) {
  struct Case {
    std::string_view text;
    TimeTakenForm form;
    std::optional<uint64_t> micros;
  };
  const Case cases[] = {
      // Apache: %D, %T, %{ms}T, %{us}T.
      {"2345", kMicros, 2345},
      {"0", kMicros, 0},
      {"3", kSeconds, 3000000},
      {"250", kMillis, 250000},
      // nginx $request_time and JSON seconds.
      {"0.012", kSeconds, 12000},
      {"1.000", kSeconds, 1000000},
      {"0.0000004", kSeconds, 0},  // rounded to the nearest microsecond
      {"0.0000005", kSeconds, 1},
      {"2.5", kMillis, 2500},
      {"1500", kNanos, 2},
      {"1499", kNanos, 1},
      {"1.5e-05", kSeconds, 15},
      {"2E3", kMicros, 2000},
      {"1e+2", kMillis, 100000},
      {" 0.300\t", kSeconds, 300000},
      {"00012", kMicros, 12},
      {"12345678901234567890123", kNanos, 12345678901234567890ULL},
      {"0.000000000000000000000000000001", kSeconds, 0},
      {"18446744073709551615", kMicros, UINT64_MAX},
      // No value.
      {"-", kSeconds, std::nullopt},
      {"", kMicros, std::nullopt},
      {"  ", kMicros, std::nullopt},
      {"-0.5", kSeconds, std::nullopt},
      {"+1", kSeconds, std::nullopt},
      {"abc", kSeconds, std::nullopt},
      {"1.2.3", kSeconds, std::nullopt},
      {"12ms", kMillis, std::nullopt},
      {"1e", kSeconds, std::nullopt},
      {"e5", kSeconds, std::nullopt},
      {".", kSeconds, std::nullopt},
      {"18446744073709551616", kMicros, std::nullopt},
      {"1e30", kSeconds, std::nullopt},
      {"99999999999999", kSeconds, std::nullopt},
      {"0.012, 0.340", kSeconds, std::nullopt},  // a list where one number belongs
      // nginx $upstream_response_time: the sum of the servers tried.
      {"0.012, 0.340", kUpstream, 352000},
      {"0.012 : 0.340", kUpstream, 352000},
      {"0.100, 0.200 : 0.300", kUpstream, 600000},
      {"0.004", kUpstream, 4000},
      {"-, 0.250", kUpstream, 250000},
      {"-", kUpstream, std::nullopt},
      {"- : -", kUpstream, std::nullopt},
      {"0.1,", kUpstream, std::nullopt},
      {"0.1, x", kUpstream, std::nullopt},
      {"18446744073709, 18446744073709", kUpstream, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parsed(c.text, c.form), c.micros)
        << "'" << c.text << "' unit " << static_cast<int>(c.form.unit) << " list " << c.form.list;
  }
}

// The inline reader of the usual forms agrees with the full one wherever
// it answers.
TEST(TimeTakenTest, PlainFormsReadAsTheFullReaderReadsThem) {
  const char* texts[] = {"0",
                         "0.123",
                         "1.",
                         "12345678901234",
                         "1234567890123456789",
                         "0.000001",
                         "0.0000001",
                         ".5",
                         "1.2.3",
                         "00012",
                         "99999999999999.999999",
                         "1e3",
                         " 1",
                         "-1",
                         "18446744073709551615"};
  for (TimeUnit unit : {TimeUnit::kSeconds, TimeUnit::kMilliseconds, TimeUnit::kMicroseconds,
                        TimeUnit::kNanoseconds}) {
    for (const char* text : texts) {
      uint64_t plain = 0, full = 0;
      bool fast = time_taken_detail::ParsePlainTimeTaken(text, unit, &plain);
      bool read = time_taken_detail::ParseAnyTimeTaken(text, {unit, false}, &full);
      if (fast) {
        EXPECT_TRUE(read) << text;
        EXPECT_EQ(plain, full) << text;
      }
    }
  }
}

TEST(TimeTakenTest, KnowsTheFieldsThatLogIt) {
  struct Case {
    std::string_view field;
    std::optional<TimeTakenForm> form;
  };
  const Case cases[] = {
      {"%D", kMicros},
      {"%{us}T", kMicros},
      {"%T", kSeconds},
      {"%{s}T", kSeconds},
      {"%{ms}T", kMillis},
      {"$request_time", kSeconds},
      {"$upstream_response_time", kUpstream},
      {"$upstream_header_time", kUpstream},
      {"request_time", kSeconds},
      {"request_time_us", kMicros},
      {"upstream_response_time", kUpstream},
      {"duration", kSeconds},
      {"response_time", kSeconds},
      {"%b", std::nullopt},
      {"$body_bytes_sent", std::nullopt},
      {"upstream_addr", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(TimeTakenFormOf(c.field), c.form) << c.field;
}

TEST(TimeTakenTest, ReadsTheTimeFieldSetting) {
  struct Case {
    std::string_view value;
    std::string_view field;
    TimeTakenForm form;
  };
  const Case good[] = {
      {"$upstream_response_time", "$upstream_response_time", kUpstream},
      {"duration_ms:ms", "duration_ms", kMillis},
      {"elapsed", "elapsed", kSeconds},
      {"Duration:ns", "Duration", kNanos},
      {"%D", "%D", kMicros},
      {"request_time:ms", "request_time", kMillis},
      {"upstream_connect_time:ms", "upstream_connect_time", {TimeUnit::kMilliseconds, true}},
      {" took : us ", "took", kMicros},
  };
  for (const Case& c : good) {
    TimeFieldChoice choice;
    Status status = ParseTimeFieldSetting(c.value, &choice);
    ASSERT_TRUE(status.ok()) << c.value << ": " << status.ToString();
    EXPECT_EQ(choice.field, c.field);
    EXPECT_EQ(choice.form, c.form) << c.value;
  }
  const std::pair<std::string_view, std::string_view> bad[] = {
      {"", "no field is named"},
      {":ms", "no field is named"},
      {"duration:minutes", "the unit 'minutes' is none of s, ms, us and ns"},
      {"duration:", "the unit '' is none of s, ms, us and ns"},
  };
  for (const auto& [value, reason] : bad) {
    TimeFieldChoice choice;
    EXPECT_EQ(ParseTimeFieldSetting(value, &choice).ToString(), reason) << value;
  }
}

}  // namespace
}  // namespace logvane
