#include "names/resolve_address.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/lookup_state.h"
#include "names/cache_file.h"
#include "support/fake_resolver.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::FakeAnswer;
using testing::Gate;
using testing::ResolverLog;
using testing::ScriptedResolver;

struct Record {
  std::string address, name;
  bool operator==(const Record&) const = default;
};

class ResolveAddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = testing::NewLookupState();
    ClearNameCache(state_->cache);
    Answer({});
  }
  // Workers still waiting for the gate may go now.
  void TearDown() override { gate_->Open(); }

  void Answer(std::map<std::string, FakeAnswer> answers) {
    platform_.resolver = ScriptedResolver(std::move(answers), log_, gate_);
  }
  void LoadCache(std::vector<Record> records) {
    NameCache& cache = state_->cache;
    for (const Record& r : records) {
      cache.entries[cache.loadedCount].address.assign(r.address);
      cache.entries[cache.loadedCount].name.assign(r.name);
      ++cache.loadedCount;
    }
    cache.usedCount = cache.loadedCount;
    SortLoadedPart(cache);
  }
  std::string Resolve(std::string text) {
    LookupContext context{state_->cache, state_->settings, console_, platform_};
    ResolveAddress(text, context);
    return text;
  }
  std::vector<Record> AddedEntries() const {
    std::vector<Record> added;
    const NameCache& cache = state_->cache;
    for (size_t i = cache.loadedCount; i < cache.usedCount; ++i) {
      added.push_back({std::string(cache.entries[i].address.view()),
                       std::string(cache.entries[i].name.view())});
    }
    return added;
  }
  RunSettings& settings() { return state_->settings; }

  std::unique_ptr<testing::LookupState> state_;
  std::string output_;
  Console console_{&output_};
  FaultEnv platform_;
  std::shared_ptr<ResolverLog> log_ = std::make_shared<ResolverLog>();
  std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

TEST_F(ResolveAddressTest, TracesLookupsOnlyUnderDebugYAndF) {
  const std::string trace =
      "looking up: 192.0.2.1\n"
      "    *got it* name is: one.example\n"
      "looking up: 192.0.2.2\n"
      "    *oops* could not get name for address: 192.0.2.2\n";
  const std::pair<char, std::string> cases[] = {
      {'\0', ""}, {'N', ""}, {'x', ""}, {'Y', trace}, {'y', trace}, {'F', trace}, {'f', trace}};
  for (const auto& [debug, expected] : cases) {
    SetUp();
    settings().debugMode = debug;
    Answer({{"192.0.2.1", {"one.example"}}});
    output_.clear();
    EXPECT_EQ(Resolve("192.0.2.1"), "one.example");
    EXPECT_EQ(Resolve("192.0.2.2"), "192.0.2.2");
    EXPECT_EQ(output_, expected) << "DEBUG=" << debug;
    EXPECT_EQ(AddedEntries(),
              (std::vector<Record>{{"192.0.2.1", "one.example"}, {"192.0.2.2", "192.0.2.2"}}));
  }
}

TEST_F(ResolveAddressTest, CacheHitsPrintDotsUnderDebugF) {
  LoadCache({{"192.0.2.1", "a.example"}, {"192.0.2.2", "b.example"}});
  Answer({{"192.0.2.3", {"c.example"}}});
  settings().debugMode = 'F';
  EXPECT_EQ(Resolve("192.0.2.1"), "a.example");
  EXPECT_EQ(Resolve("192.0.2.2"), "b.example");
  EXPECT_EQ(Resolve("192.0.2.3"), "c.example");
  EXPECT_EQ(output_, "..looking up: 192.0.2.3\n    *got it* name is: c.example\n");
  EXPECT_EQ(log_->calls(), std::vector<std::string>{"192.0.2.3"});
  EXPECT_EQ(AddedEntries(), (std::vector<Record>{{"192.0.2.3", "c.example"}}));

  output_.clear();
  settings().debugMode = 'Y';
  EXPECT_EQ(Resolve("192.0.2.1"), "a.example");
  EXPECT_EQ(output_, "");
}

TEST_F(ResolveAddressTest, CacheOnlyModeStartsNoLookupAndAddsNothing) {
  testing::TempDir dir;
  settings().lookupMode = 'x';
  settings().debugMode = 'Y';
  (void)LoadNameCache(platform_, state_->cache, dir.File("lvipname.dat"), console_);
  Answer({{"192.0.2.1", {"one.example"}}});
  output_.clear();
  EXPECT_EQ(Resolve("192.0.2.1"), "192.0.2.1");
  EXPECT_EQ(Resolve("2001:db8::1"), "2001:db8::1");
  EXPECT_EQ(output_, "");
  EXPECT_TRUE(log_->calls().empty());
  EXPECT_EQ(state_->cache.usedCount, 0u);

  ASSERT_TRUE(SaveNameCache(platform_, state_->cache, dir.File("lvipname.dat"), console_).ok());
  EXPECT_EQ(output_, "...... new cache file created - writing records.\n");
  EXPECT_EQ(testing::ReadFile(dir.File("lvipname.dat")), "");

  LoadCache({{"192.0.2.1", "cached.example"}});
  EXPECT_EQ(Resolve("192.0.2.1"), "cached.example");
}

TEST_F(ResolveAddressTest, OnlyAddressLiteralsReachTheResolver) {
  // A resolver that names every address it is asked about, the all-ones
  // address included.
  platform_.resolver = [log = log_](const std::string& address) {
    log->Enter(address);
    log->Leave();
    return std::optional<std::string>("wrong.example");
  };
  settings().debugMode = 'Y';
  const std::string notAddresses[] = {
      "user42",           "1.2.3.4.5", "999.1.1.1",    "10.1.2",
      "1.2.3.4 5",        "01.2.3.4",  "fe80::1%eth0", std::string("192.0.2.1\0 9", 12),
      "255.255.255.255x1"};
  std::string expected;
  std::vector<Record> added;
  for (const std::string& text : notAddresses) {
    EXPECT_EQ(Resolve(text), text);
    expected +=
        "looking up: " + text + "\n    *oops* could not get name for address: " + text + "\n";
    added.push_back({text, text});
  }
  EXPECT_EQ(output_, expected);
  EXPECT_EQ(AddedEntries(), added);
  EXPECT_TRUE(log_->calls().empty());

  EXPECT_EQ(Resolve("192.0.2.1"), "wrong.example");
  EXPECT_EQ(Resolve("2001:DB8::5"), "wrong.example");
  EXPECT_EQ(log_->calls(), (std::vector<std::string>{"192.0.2.1", "2001:DB8::5"}));
}

TEST_F(ResolveAddressTest, AnswersThatCannotNameAUserAreFailures) {
  Answer({{"192.0.2.1", {""}},
          {"192.0.2.2", {"two\nlines.example"}},
          {"192.0.2.3", {"tab\there.example"}},
          {"192.0.2.4", {std::string("nul\0byte.example", 16)}},
          {"192.0.2.5", {"bell\a.example"}}});
  settings().debugMode = 'Y';
  for (const char* address : {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4", "192.0.2.5"}) {
    output_.clear();
    EXPECT_EQ(Resolve(address), address);
    EXPECT_EQ(output_, std::string("looking up: ") + address +
                           "\n    *oops* could not get name for address: " + address + "\n");
  }
  EXPECT_EQ(AddedEntries().size(), 5u);
  for (const Record& r : AddedEntries()) EXPECT_EQ(r.address, r.name);
}

TEST_F(ResolveAddressTest, LongNamesAreCutForTheKeyAndTheCache) {
  const std::string name = std::string(110, 'h') + ".example";
  Answer({{"2001:db8::1", {name}}});
  settings().debugMode = 'Y';
  EXPECT_EQ(Resolve("2001:db8::1"), name.substr(0, 100));
  EXPECT_EQ(output_, "looking up: 2001:db8::1\n    *got it* name is: " + name + "\n");
  EXPECT_EQ(AddedEntries(), (std::vector<Record>{{"2001:db8::1", name.substr(0, 59)}}));
}

TEST_F(ResolveAddressTest, AFullCacheStopsNewLookupsButStillAnswers) {
  LoadCache({{"192.0.2.50", "known.example"}});
  state_->cache.usedCount = kNameCacheCapacity - 1;
  Answer({{"192.0.2.1", {"one.example"}}, {"192.0.2.2", {"two.example"}}});
  EXPECT_EQ(Resolve("192.0.2.1"), "one.example");  // takes the last entry
  EXPECT_EQ(Resolve("192.0.2.2"), "192.0.2.2");
  EXPECT_EQ(Resolve("192.0.2.50"), "known.example");
  EXPECT_EQ(Resolve("user7"), "user7");
  EXPECT_EQ(output_,
            "*ERROR* Too many IP addrs - ask for free upgrade.\n"
            "*ERROR* Too many IP addrs - ask for free upgrade.\n");
  EXPECT_EQ(log_->calls(), std::vector<std::string>{"192.0.2.1"});
  EXPECT_EQ(state_->cache.usedCount, kNameCacheCapacity);
}

TEST_F(ResolveAddressTest, GivesUpOnceTheClockIsMoreThanTheTimeOutPastTheStart) {
  // The clock moves on one second at each reading: one for the start, one
  // at each poll.
  const std::pair<int32_t, int64_t> cases[] = {{-5, 2}, {0, 2}, {1, 3}, {3, 5}};
  for (const auto& [timeout, readings] : cases) {
    auto clock = std::make_shared<std::atomic<int64_t>>(0);
    platform_.nowSeconds = testing::SteppingClock(clock);
    Answer({{"192.0.2.9", {"never.example", 0, true}}});
    settings().lookupTimeout = timeout;
    settings().debugMode = 'Y';
    output_.clear();
    EXPECT_EQ(Resolve("192.0.2.9"), "192.0.2.9");
    EXPECT_EQ(clock->load(), readings) << "TIMEOUT=" << timeout;
    EXPECT_EQ(output_,
              "looking up: 192.0.2.9\n    *oops* could not get name for address: 192.0.2.9\n");
  }
}

TEST_F(ResolveAddressTest, ALateAnswerNeverReachesTheNextLookup) {
  auto released = std::make_shared<Gate>();
  auto lateWritten = std::make_shared<std::atomic<bool>>(false);
  platform_.resolver = [released,
                        lateWritten](const std::string& address) -> std::optional<std::string> {
    if (address == "192.0.2.10") {
      released->Wait();
      lateWritten->store(true);
      return "late.example";
    }
    // The next lookup lets the first one answer, late, and finds nothing.
    released->Open();
    while (!lateWritten->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    return std::nullopt;
  };
  settings().lookupTimeout = 1;
  settings().debugMode = 'Y';
  auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(Resolve("192.0.2.10"), "192.0.2.10");
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  EXPECT_GT(waited, 0.9);  // more than one whole second of the clock passed
  EXPECT_LT(waited, 2.5);
  EXPECT_EQ(Resolve("192.0.2.11"), "192.0.2.11");
  EXPECT_EQ(output_,
            "looking up: 192.0.2.10\n"
            "    *oops* could not get name for address: 192.0.2.10\n"
            "looking up: 192.0.2.11\n"
            "    *oops* could not get name for address: 192.0.2.11\n");
  EXPECT_EQ(AddedEntries(),
            (std::vector<Record>{{"192.0.2.10", "192.0.2.10"}, {"192.0.2.11", "192.0.2.11"}}));
}

TEST_F(ResolveAddressTest, ANegativeTimeOutGivesUpAtTheFirstPoll) {
  Answer({{"192.0.2.9", {"never.example", 0, true}}});
  settings().lookupTimeout = -1;
  auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(Resolve("192.0.2.9"), "192.0.2.9");
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  EXPECT_LT(waited, 0.9);
  EXPECT_EQ(AddedEntries(), (std::vector<Record>{{"192.0.2.9", "192.0.2.9"}}));
}

}  // namespace
}  // namespace logvane
