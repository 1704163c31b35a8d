#include "names/cache_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/fault_env.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::FilesIn;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct Record {
  std::string address, name;
  bool operator==(const Record&) const = default;
};

std::unique_ptr<NameCache> NewCache() {
  auto cache = std::make_unique<NameCache>();
  ClearNameCache(*cache);
  return cache;
}

// On the real machine's files; what they say is on the console.
void Load(NameCache& cache, const std::string& path, Console& out) {
  SystemEnv env;
  (void)LoadNameCache(env, cache, path, out);
}
void Save(const NameCache& cache, const std::string& path, Console& out) {
  SystemEnv env;
  (void)SaveNameCache(env, cache, path, out);
}

std::vector<Record> LoadedRecords(const NameCache& cache) {
  std::vector<Record> records;
  for (size_t i = 0; i < cache.loadedCount; ++i) {
    records.push_back(
        {std::string(cache.entries[i].address.view()), std::string(cache.entries[i].name.view())});
  }
  return records;
}

TEST(LoadNameCache, ChecksEachLine) {
  const std::string v6 = "2001:db8:1111:2222:3333:4444:5555:6666";
  const std::string v6Longest = "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255";
  const std::string name59(59, 'n');
  struct Case {
    std::string content;
    std::vector<Record> loaded;
  };
  const Case cases[] = {
      {"10.1.2.3,host.example.com\n", {{"10.1.2.3", "host.example.com"}}},
      {"10.1.2.3 host.example.com\n", {}},    // no comma
      {"10.1.2,host\n", {}},                  // two dots
      {"10.1,a.b.7\n", {{"10.1", "a.b.7"}}},  // dots sought in the whole line
      {"10.1.2.0,zero.example\n", {}},        // 0 after the third dot
      {"10.1.2.255,top.example\n", {{"10.1.2.255", "top.example"}}},
      {"10.1.2.256,over.example\n", {}},
      {"10.1.2.x,word.example\n", {}},                     // no digits: 0
      {"10.1.2.3,10.1.2.3\n", {}},                         // the name is its address
      {"10.1.2.3,10.1.2.3.in-addr.example\n", {}},         // ... followed by more
      {"Host.A.B.7,host.a.b.7.example\n", {}},             // in any case
      {",a.b.c.4\n", {}},                                  // an empty address always matches
      {"10.1.2.3,\n", {}},                                 // an empty name
      {std::string("10.1.2.3,na\0me.example\n", 23), {}},  // a NUL byte
      {"10.1.2.3,name,with,commas\n", {{"10.1.2.3", "name,with,commas"}}},
      {"10.1.2.3,crlf.example\r\n", {{"10.1.2.3", "crlf.example"}}},
      {"10.1.2.3,last.example", {{"10.1.2.3", "last.example"}}},  // no final newline
      {"10.20.30.40.50.60,long.example\n", {{"10.20.30.40.50.", "long.example"}}},
      {"10.1.2.3," + std::string(70, 'n') + "\n", {{"10.1.2.3", name59}}},
      // A line of more than 79 characters: the rest is a line of its own.
      {"10.1.2.3," + std::string(70, 'a') + "10.9.9.9,rest.example\n",
       {{"10.1.2.3", std::string(59, 'a')}, {"10.9.9.9", "rest.example"}}},
      // IPv6 literals need no dots and may run 30 characters longer.
      {"2001:db8::1,six.example\n", {{"2001:db8::1", "six.example"}}},
      {"2001:db8::1,2001:DB8::1\n", {}},
      {v6 + "," + name59 + "\n", {{v6, name59}}},
      {v6Longest + "," + name59 + "\n", {{v6Longest, name59}}},
      {"2001:db8::1," + std::string(100, 'x') + "\n", {{"2001:db8::1", std::string(59, 'x')}}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteFile(dir.File("lvipname.dat"), c.content);
    auto cache = NewCache();
    std::string console;
    Console out(&console);
    Load(*cache, dir.File("lvipname.dat"), out);
    EXPECT_EQ(LoadedRecords(*cache), c.loaded) << c.content;
    EXPECT_EQ(cache->usedCount, c.loaded.size());
    EXPECT_EQ(console,
              "...... IP names file opened - loading.\n"
              "...... IP name file closed.  " +
                  std::to_string(c.loaded.size()) +
                  " records loaded.\n\n"
                  "sorting cache...\n")
        << c.content;
  }
}

TEST(LoadNameCache, SortsByAddressText) {
  TempDir dir;
  WriteFile(dir.File("lvipname.dat"),
            "9.0.0.1,nine.example\n10.0.0.9,ten.example\n2001:db8::1,six.example\n"
            "192.0.2.1,doc.example\n");
  auto cache = NewCache();
  std::string console;
  Console out(&console);
  Load(*cache, dir.File("lvipname.dat"), out);
  std::vector<Record> expected = {{"10.0.0.9", "ten.example"},
                                  {"192.0.2.1", "doc.example"},
                                  {"2001:db8::1", "six.example"},
                                  {"9.0.0.1", "nine.example"}};
  EXPECT_EQ(LoadedRecords(*cache), expected);
  EXPECT_EQ(FindCachedName(*cache, "9.0.0.1"), "nine.example");
}

TEST(LoadNameCache, MissingFileIsNotedAndLeavesTheCacheEmpty) {
  // A directory in the file's place is no file either.
  for (bool directory : {false, true}) {
    TempDir dir;
    if (directory) std::filesystem::create_directory(dir.File("lvipname.dat"));
    auto cache = NewCache();
    cache->loadedCount = cache->usedCount = 3;  // cleared by the load
    std::string console;
    Console out(&console);
    Load(*cache, dir.File("lvipname.dat"), out);
    EXPECT_EQ(console, "*NOTE* No previous IP names file found.\n");
    EXPECT_EQ(cache->loadedCount, 0u);
    EXPECT_EQ(cache->usedCount, 0u);
  }
}

std::string ValidLines(size_t count) {
  std::string lines;
  for (size_t i = 0; i < count; ++i) {
    lines += "10." + std::to_string(i / 62500) + "." + std::to_string(i / 250 % 250) + "." +
             std::to_string(i % 250 + 1) + ",h" + std::to_string(i) + ".example\n";
  }
  return lines;
}

TEST(LoadNameCache, HoldsAtMost64000Records) {
  for (bool oneMore : {false, true}) {
    TempDir dir;
    // Invalid lines past the capacity do not count; a valid one does.
    std::string content = ValidLines(kNameCacheCapacity) + "no comma here\n";
    if (oneMore) content += "192.0.2.1,extra.example\n10.9.9.9,after.example\n";
    WriteFile(dir.File("lvipname.dat"), content);
    auto cache = NewCache();
    std::string console;
    Console out(&console);
    Load(*cache, dir.File("lvipname.dat"), out);
    EXPECT_EQ(cache->loadedCount, kNameCacheCapacity);
    EXPECT_EQ(cache->usedCount, kNameCacheCapacity);
    EXPECT_EQ(console.find("*ERROR* more than 64000 IP names in file\n") != std::string::npos,
              oneMore);
    EXPECT_NE(console.find("closed.  64000 records loaded."), std::string::npos);
    EXPECT_EQ(FindCachedName(*cache, "192.0.2.1"), std::nullopt);
    EXPECT_EQ(FindCachedName(*cache, "10.0.0.1"), "h0.example");
  }
}

// A cache with two loaded records and the entries a run may add.
std::unique_ptr<NameCache> CacheWithRunEntries() {
  auto cache = NewCache();
  NameCacheEntry* e = cache->entries;
  e[0].address.assign("10.0.0.9");
  e[0].name.assign("ten.example");
  e[1].address.assign("9.0.0.1");
  e[1].name.assign("nine.example");
  cache->loadedCount = cache->usedCount = 2;
  AppendNameCacheEntry(*cache, "192.0.2.1", "found.example");
  AppendNameCacheEntry(*cache, "192.0.2.2", "192.0.2.2");  // failed lookup
  AppendNameCacheEntry(*cache, "192.0.2.3", "host-3");     // name ends in a digit
  AppendNameCacheEntry(*cache, "user99", "user99");        // never sent
  AppendNameCacheEntry(*cache, std::string(50, '8'), std::string(50, '8') + ".host");
  AppendNameCacheEntry(*cache, "192.0.2.4", "two\nlines");  // would split a record
  AppendNameCacheEntry(*cache, "192.0.2.5", "trailing.cr\r");
  AppendNameCacheEntry(*cache, "192.0.2.6", std::string("nul\0byte", 8));
  AppendNameCacheEntry(*cache, "a,b.c.d.1", "comma.example");  // comma in the address
  AppendNameCacheEntry(*cache, "2001:db8::7", "comma,in.name");
  return cache;
}

const char* const kSavedRecords =
    "10.0.0.9,ten.example\n"
    "9.0.0.1,nine.example\n"
    "192.0.2.1,found.example\n"
    "2001:db8::7,comma,in.name\n";

TEST(SaveNameCache, WritesLoadedAndFoundNamesOnly) {
  TempDir dir;
  WriteFile(dir.File("lvipname.dat"), "old content\n");
  auto cache = CacheWithRunEntries();
  std::string console;
  Console out(&console);
  Save(*cache, dir.File("lvipname.dat"), out);
  EXPECT_EQ(console, "...... new cache file created - writing records.\n");
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kSavedRecords);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"lvipname.dat"});

  // What is written loads back whole.
  auto again = NewCache();
  Load(*again, dir.File("lvipname.dat"), out);
  EXPECT_EQ(again->loadedCount, 4u);
  EXPECT_EQ(FindCachedName(*again, "2001:db8::7"), "comma,in.name");
}

TEST(SaveNameCache, CreatesAMissingFileAndFollowsALink) {
  TempDir dir;
  auto cache = CacheWithRunEntries();
  std::string console;
  Console out(&console);
  Save(*cache, dir.File("lvipname.dat"), out);
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), kSavedRecords);

  std::filesystem::rename(dir.File("lvipname.dat"), dir.File("real.dat"));
  std::filesystem::create_symlink("real.dat", dir.File("lvipname.dat"));
  for (size_t i = 3; i < cache->usedCount; ++i) cache->entries[i].address.clear();
  Save(*cache, dir.File("lvipname.dat"), out);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("lvipname.dat")));
  EXPECT_EQ(ReadFile(dir.File("real.dat")),
            "10.0.0.9,ten.example\n9.0.0.1,nine.example\n192.0.2.1,found.example\n");
}

TEST(SaveNameCache, KeepsTheOldFileWhenWritingFails) {
  TempDir dir;
  const std::string old = "10.0.0.9,ten.example\n";
  WriteFile(dir.File("lvipname.dat"), old);
  auto cache = NewCache();
  for (size_t i = 0; i < 5000; ++i) {
    AppendNameCacheEntry(*cache,
                         "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1),
                         "host" + std::to_string(i) + ".example");
  }
  // The device fills up part way.
  FaultEnv env(dir.path());
  env.FailOn(EnvCall::kWrite, "lvipname.dat", ENOSPC, 4096);
  std::string console;
  Console out(&console);
  EXPECT_EQ(SaveNameCache(env, *cache, "lvipname.dat", out).sysError(), ENOSPC);

  EXPECT_EQ(console,
            "...... new cache file created - writing records.\n"
            "*WARNING* cannot create cache file.\n");
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), old);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"lvipname.dat"});
}

TEST(SaveNameCache, KeepsTheOldFileWhenTheRenameOrTheSyncFails) {
  for (EnvCall call : {EnvCall::kRename, EnvCall::kSync}) {
    TempDir dir;
    const std::string old = "10.0.0.9,ten.example\n";
    WriteFile(dir.File("lvipname.dat"), old);
    auto cache = CacheWithRunEntries();
    FaultEnv env(dir.path());
    env.FailOn(call, "lvipname.dat", call == EnvCall::kRename ? EXDEV : EIO);
    std::string console;
    Console out(&console);
    EXPECT_EQ(SaveNameCache(env, *cache, "lvipname.dat", out).sysError(),
              call == EnvCall::kRename ? EXDEV : EIO);
    EXPECT_EQ(console,
              "...... new cache file created - writing records.\n"
              "*WARNING* cannot create cache file.\n");
    EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), old);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"lvipname.dat"});
  }
}

TEST(SaveNameCache, WarnsWhenNoFileCanBeCreated) {
  TempDir dir;
  auto cache = CacheWithRunEntries();
  std::string console;
  Console out(&console);
  Save(*cache, dir.File("missing/lvipname.dat"), out);
  EXPECT_EQ(console, "*WARNING* cannot create cache file.\n");
}

TEST(SaveNameCache, KeepsTheOldFileInAnUnwritableDirectory) {
  TempDir dir;
  const std::string old = "10.0.0.9,ten.example\n";
  WriteFile(dir.File("lvipname.dat"), old);
  // The old file itself may be written; only a new file beside it may not.
  FaultEnv env(dir.path());
  env.FailOn(EnvCall::kCreate, "lvipname.dat.", EACCES);
  auto cache = CacheWithRunEntries();
  std::string console;
  Console out(&console);
  EXPECT_EQ(SaveNameCache(env, *cache, "lvipname.dat", out).sysError(), EACCES);
  EXPECT_EQ(console, "*WARNING* cannot create cache file.\n");
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), old);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"lvipname.dat"});
}

// A read error partway keeps the records before it and fails the load
// with the place.
TEST(LoadNameCache, AReadErrorKeepsTheRecordsBeforeIt) {
  TempDir dir;
  WriteFile(dir.File("lvipname.dat"), "10.0.0.9,ten.example\n9.0.0.1,nine.example\n");
  FaultEnv env(dir.path());
  env.FailOn(EnvCall::kRead, "lvipname.dat", EIO, 21);
  auto cache = NewCache();
  std::string console;
  Console out(&console);
  Status s = LoadNameCache(env, *cache, "lvipname.dat", out);
  EXPECT_EQ(s.sysError(), EIO);
  EXPECT_EQ(s.where(), "byte 21");
  EXPECT_EQ(LoadedRecords(*cache), (std::vector<Record>{{"10.0.0.9", "ten.example"}}));
  EXPECT_EQ(console,
            "...... IP names file opened - loading.\n"
            "...... IP name file closed.  1 records loaded.\n\nsorting cache...\n");
}

// A cache of `count` found names, all different from those of `seed`s
// other than its own.
std::unique_ptr<NameCache> FoundNames(size_t count, int seed) {
  auto cache = NewCache();
  for (size_t i = 0; i < count; ++i) {
    AppendNameCacheEntry(*cache,
                         "10." + std::to_string(i / 62500) + "." + std::to_string(i / 250 % 250) +
                             "." + std::to_string(i % 250 + 1),
                         "run" + std::to_string(seed) + "-host" + std::to_string(i) + ".example");
  }
  return cache;
}

TEST(SaveNameCache, AKillDuringTheSaveLeavesAWholeFile) {
  TempDir dir;
  const std::string file = dir.File("lvipname.dat");
  auto first = FoundNames(20000, 1);
  auto second = FoundNames(20000, 2);
  std::string discard;
  Console quiet(&discard);
  Save(*first, file, quiet);
  const std::string firstContent = ReadFile(file);
  Save(*second, file, quiet);
  const std::string secondContent = ReadFile(file);
  ASSERT_GT(firstContent.size(), 400000u);

  for (int round = 0; round < 12; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves over and over until it is killed.
      for (int i = 0;; ++i) Save(i % 2 == 0 ? *first : *second, file, quiet);
    }
    ::usleep(static_cast<useconds_t>(3000 + round * 1700));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::string content = ReadFile(file);
    EXPECT_TRUE(content == firstContent || content == secondContent)
        << "round " << round << ": " << content.size() << " bytes";
  }
}

TEST(WorthSaving, SkipsWhatTheLoaderWouldNotTakeBack) {
  struct Case {
    std::string address, name;
    bool saved;
  };
  const Case cases[] = {
      {"192.0.2.1", "found.example", true},
      {"192.0.2.1", "", false},
      {"", "orphan.example", false},
      {"192.0.2.1", "192.0.2.1", false},
      {"192.0.2.1", "192.0.2.1.rev.example", false},
      {"192.0.2.1", "ends-in-7", false},
      {"192.0.2.1", "tab\tinside", true},  // odd, but the record holds
      {"192.0.2.1", "line\nbreak", false},
  };
  for (const Case& c : cases) {
    NameCacheEntry entry{};
    entry.address.assign(c.address);
    entry.name.assign(c.name);
    EXPECT_EQ(WorthSaving(entry), c.saved) << c.address << "," << c.name;
  }
}

}  // namespace
}  // namespace logvane
