#include "report/response_time_section.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tally/response_times.h"

namespace logvane {
namespace {

TEST(ResponseTimeSection, DurationsInThreeDigitsAndTheirUnit) {
  struct Case {
    double micros;
    const char* text;
  } cases[] = {
      {0, "0 ms"},        {12, "0.012 ms"},    {999.4, "0.999 ms"}, {999.6, "1.00 ms"},
      {1500, "1.50 ms"},  {12345, "12.3 ms"},  {99960, "100 ms"},   {352000, "352 ms"},
      {999600, "1.00 s"}, {1250000, "1.25 s"}, {61e6, "61.0 s"},    {86400e6, "86400 s"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDuration(c.micros), c.text) << c.micros;
}

TEST(ResponseTimeSection, SlowestPagesByP95ThenHitsThenKey) {
  auto pages = std::make_unique<PageTable>();
  auto times = std::make_unique<ResponseTimes>();
  PageLatencySketch* sketches = PageSketches(*times);
  struct Page {
    const char* key;
    int hits;
    uint64_t micros;
  } added[] = {
      {"/b", 5, 1000}, {"/a", 5, 1000}, {"/c", 9, 1000}, {"/d", 2, 90000}, {"/e", 6, 50000}};
  for (const Page& p : added) {
    int64_t slot = CountText(*pages, p.key);
    for (int i = 0; i < p.hits; ++i) AddPageLatency(sketches[slot], p.micros);
  }
  auto keys = [&](const std::vector<size_t>& slots) {
    std::vector<std::string> out;
    for (size_t s : slots) out.emplace_back(pages->slots[s].key.view());
    return out;
  };
  EXPECT_EQ(keys(SlowestPages(*pages, sketches, 5, 10)),
            (std::vector<std::string>{"/e", "/c", "/a", "/b"}));
  EXPECT_EQ(keys(SlowestPages(*pages, sketches, 1, 2)), (std::vector<std::string>{"/d", "/e"}));
  EXPECT_EQ(keys(SlowestPages(*pages, sketches, 10, 10)), std::vector<std::string>{});
  EXPECT_EQ(keys(SlowestPages(*pages, nullptr, 1, 10)), std::vector<std::string>{});
}

}  // namespace
}  // namespace logvane
