#include "names/concurrent_lookups.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/lookup_state.h"
#include "names/translate_names.h"
#include "support/fake_resolver.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::FakeAnswer;
using testing::Gate;
using testing::ResolverLog;
using testing::ScriptedResolver;

// Texts to resolve, the loaded cache, and how the resolver answers.
struct Scenario {
  std::vector<std::string> texts;
  std::vector<std::pair<std::string, std::string>> cached;
  std::map<std::string, FakeAnswer> answers;
  size_t usedBeyondLoaded = 0;  // entries already added before the texts
};

// What a run leaves behind; equal for equal behaviour.
struct Outcome {
  std::string console;
  std::vector<std::string> texts;
  std::vector<std::string> entries;  // every cache entry in use, in order
  bool operator==(const Outcome&) const = default;
};

int64_t WallSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

Outcome RunScenario(const Scenario& scenario, int32_t threads, int32_t timeout,
                    std::function<int64_t()> clock, std::shared_ptr<ResolverLog> log = nullptr,
                    bool threadsRefused = false) {
  auto state = testing::NewLookupState();
  NameCache& cache = state->cache;
  ClearNameCache(cache);
  for (const auto& [address, name] : scenario.cached) {
    cache.entries[cache.loadedCount].address.assign(address);
    cache.entries[cache.loadedCount].name.assign(name);
    ++cache.loadedCount;
  }
  SortLoadedPart(cache);
  cache.usedCount = cache.loadedCount + scenario.usedBeyondLoaded;
  for (size_t i = cache.loadedCount; i < cache.usedCount; ++i) {
    cache.entries[i].address.assign("earlier");
    cache.entries[i].name.assign("earlier.example");
  }
  state->settings.debugMode = 'F';
  state->settings.lookupTimeout = timeout;
  state->settings.dnsThreads = threads;

  Outcome outcome;
  auto gate = std::make_shared<Gate>();
  if (!log) log = std::make_shared<ResolverLog>();
  FaultEnv platform;
  platform.resolver = ScriptedResolver(scenario.answers, log, gate);
  platform.nowSeconds = std::move(clock);
  if (threadsRefused) platform.FailOn(EnvCall::kThread, "", EAGAIN);
  Console console(&outcome.console);
  LookupContext context{cache, state->settings, console, platform};
  outcome.texts = scenario.texts;
  ResolveAll(outcome.texts, context);
  gate->Open();  // lookups given up may finish now, unseen
  for (size_t i = 0; i < cache.usedCount; ++i) {
    outcome.entries.push_back(std::string(cache.entries[i].address.view()) + "," +
                              std::string(cache.entries[i].name.view()));
  }
  return outcome;
}

// A mix of cached addresses, names that come quickly, failures, lookups
// that never answer in time, IPv6 literals and texts that are no address.
Scenario RandomScenario(uint32_t seed, size_t count) {
  std::mt19937 random(seed);
  auto roll = [&random](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
  Scenario s;
  for (size_t i = 0; i < count; ++i) {
    std::string text =
        roll(5) == 0 ? "2001:db8::" + std::to_string(i + 1)
                     : "198.51." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 1);
    int kind = roll(20);
    if (kind < 4) {
      s.cached.push_back({text, "cached" + std::to_string(i) + ".example"});
    } else if (kind < 6) {
      text = "user" + std::to_string(i);  // never sent
    } else if (kind < 16) {
      s.answers[text] = {"host" + std::to_string(i) + ".example", roll(16)};
    } else if (kind < 19) {
      s.answers[text] = {std::nullopt, roll(16)};
    } else {
      s.answers[text] = {"too-late.example", 0, true};
    }
    s.texts.push_back(text);
  }
  return s;
}

TEST(ResolveConcurrently, PrintsAndStoresExactlyWhatSequentialLookupsDo) {
  // A "second" of 150 ms: answers take at most 15 ms, while a lookup is
  // given up only after 300 to 450 ms.
  const int kUnitMs = 150;
  const int32_t kTimeout = 2;
  Scenario scenario = RandomScenario(20240611, 90);
  Outcome sequential = RunScenario(scenario, 1, kTimeout, testing::ScaledClock(kUnitMs));
  ASSERT_NE(sequential.console.find("*oops*"), std::string::npos);
  ASSERT_NE(sequential.console.find("*got it*"), std::string::npos);
  ASSERT_NE(sequential.console.find(".."), std::string::npos);
  for (int32_t threads : {2, 8, 64}) {
    Outcome concurrent = RunScenario(scenario, threads, kTimeout, testing::ScaledClock(kUnitMs));
    EXPECT_EQ(concurrent.console, sequential.console) << threads << " threads";
    EXPECT_EQ(concurrent.texts, sequential.texts) << threads << " threads";
    EXPECT_EQ(concurrent.entries, sequential.entries) << threads << " threads";
  }
  // Late answers were never taken.
  for (const std::string& text : sequential.texts) EXPECT_NE(text, "too-late.example");
}

TEST(ResolveConcurrently, DecidesAFullCacheAsSequentialLookupsDo) {
  Scenario scenario = RandomScenario(7, 60);
  for (auto& [text, answer] : scenario.answers) answer.blocks = false;
  scenario.usedBeyondLoaded = kNameCacheCapacity - 12 - scenario.cached.size();
  Outcome sequential = RunScenario(scenario, 1, 20, WallSeconds);
  ASSERT_NE(sequential.console.find("*ERROR* Too many IP addrs - ask for free upgrade.\n"),
            std::string::npos);
  EXPECT_EQ(sequential.entries.size(), kNameCacheCapacity);
  Outcome concurrent = RunScenario(scenario, 16, 20, WallSeconds);
  EXPECT_EQ(concurrent, sequential);
}

TEST(ResolveConcurrently, RunsUpToTheGivenNumberOfLookupsAtOnce) {
  Scenario scenario;
  for (int i = 1; i <= 24; ++i) {
    std::string address = "203.0.113." + std::to_string(i);
    scenario.texts.push_back(address);
    scenario.answers[address] = {std::to_string(i) + ".example", 30};
  }
  for (int32_t threads : {1, 4}) {
    auto log = std::make_shared<ResolverLog>();
    Outcome outcome = RunScenario(scenario, threads, 20, WallSeconds, log);
    EXPECT_EQ(outcome.texts[23], "24.example");
    EXPECT_LE(log->maxInFlight(), threads);
    if (threads > 1) {
      EXPECT_GE(log->maxInFlight(), 2);
    }
    EXPECT_EQ(log->calls().size(), 24u);
  }
}

// A machine that starts no thread fails every lookup, one at a time or
// several, as a resolver that knows no name would: the run goes on.
TEST(ResolveConcurrently, LookupsWithoutAThreadFail) {
  Scenario scenario;
  scenario.texts = {"203.0.113.1", "cached.example", "203.0.113.2"};
  scenario.answers["203.0.113.1"] = {"one.example"};
  scenario.answers["203.0.113.2"] = {"two.example"};
  Scenario unknown = scenario;
  unknown.answers.clear();
  for (int32_t threads : {1, 4}) {
    auto log = std::make_shared<ResolverLog>();
    Outcome refused = RunScenario(scenario, threads, 20, WallSeconds, log, true);
    EXPECT_TRUE(log->calls().empty());
    EXPECT_EQ(refused, RunScenario(unknown, threads, 20, WallSeconds));
    EXPECT_EQ(refused.texts, scenario.texts);
  }
}

}  // namespace
}  // namespace logvane
