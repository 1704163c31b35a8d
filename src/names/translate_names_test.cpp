#include "names/translate_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "names/cache_file.h"
#include "support/fake_resolver.h"
#include "support/lookup_state.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::FakeAnswer;
using testing::Gate;
using testing::ResolverLog;
using testing::ScriptedResolver;

std::vector<std::string> UserKeys(const testing::LookupState& state) {
  std::vector<std::string> keys;
  const UserTable& users = state.tallies.users;
  for (size_t i = 0; i < users.used; ++i) keys.emplace_back(users.slots[i].key.view());
  return keys;
}

TEST(TranslateUserNames, TranslatesNumericKeysInTableOrderUpToTheFirstEmptySlot) {
  auto state = testing::NewLookupState();
  ClearNameCache(state->cache);
  std::string output;
  Console console(&output);
  for (const char* user :
       {"192.0.2.1", "alice", "bob7", "host.example.com", "192.0.2.2", "192.0.2.3"}) {
    CountText(state->tallies.users, user, 10);
  }
  state->tallies.users.slots[5].hits = 0;  // the walk ends here
  auto log = std::make_shared<ResolverLog>();
  FaultEnv platform;
  platform.resolver =
      ScriptedResolver({{"192.0.2.1", {"one.example"}}, {"192.0.2.3", {"three.example"}}}, log,
                       std::make_shared<Gate>());
  state->settings.debugMode = 'Y';
  TranslateUserNames(state->settings, state->tallies.users, state->cache, state->addresses, console,
                     platform);
  EXPECT_EQ(UserKeys(*state),
            (std::vector<std::string>{"one.example", "alice", "bob7", "host.example.com",
                                      "192.0.2.2", "192.0.2.3"}));
  EXPECT_EQ(log->calls(), (std::vector<std::string>{"192.0.2.1", "192.0.2.2"}));
  // The one address that became a name is kept for the nations.
  ASSERT_EQ(state->addresses.translated.size(), 1u);
  EXPECT_EQ(state->addresses.translated[0].slot, 0u);
  EXPECT_EQ(state->addresses.translated[0].address.v4(), 0xc0000201u);
  EXPECT_EQ(output,
            "looking up: 192.0.2.1\n    *got it* name is: one.example\n"
            "looking up: bob7\n    *oops* could not get name for address: bob7\n"
            "looking up: 192.0.2.2\n    *oops* could not get name for address: 192.0.2.2\n");
}

struct RunResult {
  std::string console;
  std::vector<std::string> keys;
  std::vector<std::string> lookups;
};

// One run's name phases over `users`: load, count, translate, save.
RunResult RunNamePhases(const std::string& cacheFile, const std::vector<std::string>& users,
                        std::map<std::string, FakeAnswer> answers, int32_t dnsThreads) {
  RunResult result;
  auto state = testing::NewLookupState();
  state->settings.dnsThreads = dnsThreads;
  Console console(&result.console);
  FaultEnv platform;
  (void)LoadNameCache(platform, state->cache, cacheFile, console);
  ClearTallies(state->tallies);
  for (const std::string& user : users) CountText(state->tallies.users, user, 100);
  auto log = std::make_shared<ResolverLog>();
  platform.resolver = ScriptedResolver(std::move(answers), log, std::make_shared<Gate>());
  TranslateUserNames(state->settings, state->tallies.users, state->cache, state->addresses, console,
                     platform);
  (void)SaveNameCache(platform, state->cache, cacheFile, console);
  result.keys = UserKeys(*state);
  result.lookups = log->calls();
  // Several lookups at once may reach the resolver in any order.
  std::sort(result.lookups.begin(), result.lookups.end());
  return result;
}

TEST(TranslateUserNames, ASecondRunLooksUpOnlyWhatTheFirstCouldNotName) {
  for (int32_t threads : {1, 4}) {
    testing::TempDir dir;
    const std::string file = dir.File("lvipname.dat");
    const std::vector<std::string> users = {"192.0.2.1",   "192.0.2.1",   "198.51.100.7",
                                            "203.0.113.9", "2001:db8::1", "alice",
                                            "192.0.2.1",   "127.0.0.1"};
    std::map<std::string, FakeAnswer> answers = {{"192.0.2.1", {"a.example"}},
                                                 {"198.51.100.7", {"b.example"}},
                                                 {"2001:db8::1", {"six.example"}},
                                                 {"127.0.0.1", {"localhost"}}};
    RunResult first = RunNamePhases(file, users, answers, threads);
    EXPECT_EQ(first.lookups, (std::vector<std::string>{"127.0.0.1", "192.0.2.1", "198.51.100.7",
                                                       "2001:db8::1", "203.0.113.9"}));
    EXPECT_EQ(first.keys, (std::vector<std::string>{"a.example", "b.example", "203.0.113.9",
                                                    "six.example", "alice", "localhost"}));
    EXPECT_EQ(testing::ReadFile(file),
              "192.0.2.1,a.example\n198.51.100.7,b.example\n2001:db8::1,six.example\n"
              "127.0.0.1,localhost\n");

    answers["203.0.113.9"] = {"c.example"};
    RunResult second = RunNamePhases(file, users, answers, threads);
    EXPECT_NE(second.console.find("...... IP name file closed.  4 records loaded.\n"),
              std::string::npos);
    EXPECT_EQ(second.lookups, std::vector<std::string>{"203.0.113.9"});
    EXPECT_EQ(second.keys, (std::vector<std::string>{"a.example", "b.example", "c.example",
                                                     "six.example", "alice", "localhost"}));
    EXPECT_EQ(testing::ReadFile(file),
              "127.0.0.1,localhost\n192.0.2.1,a.example\n198.51.100.7,b.example\n"
              "2001:db8::1,six.example\n203.0.113.9,c.example\n");

    RunResult third = RunNamePhases(file, users, {}, threads);
    EXPECT_TRUE(third.lookups.empty());
    EXPECT_EQ(third.keys, second.keys);
    EXPECT_EQ(testing::ReadFile(file),
              "127.0.0.1,localhost\n192.0.2.1,a.example\n198.51.100.7,b.example\n"
              "2001:db8::1,six.example\n203.0.113.9,c.example\n");
  }
}

}  // namespace
}  // namespace logvane
