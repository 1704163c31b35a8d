// Two whole runs in a row over one log, with a fake resolver: the cache file
// grows by the names the first run found, and the second run asks only for
// the addresses that found none.
#include <gtest/gtest.h>

#include "driver/run_sequence.h"
#include "support/fake_resolver.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::FakeAnswer;
using testing::ReadFile;
using testing::ResolverLog;
using testing::TempDir;
using testing::WriteFile;

std::string Line(const std::string& client, const std::string& page) {
  return client + " - - [07/Dec/2026:10:00:00 +0100] \"GET " + page + " HTTP/1.1\" 200 100\n";
}

TEST(TwoRuns, CacheGrowsByTheNamesFound) {
  TempDir dir;
  std::string log;
  // Hits decide the order of the lookups: 127.0.0.2 first, then ::1 ...
  for (int i = 0; i < 5; ++i) log += Line("127.0.0.2", "/a");
  for (int i = 0; i < 4; ++i) log += Line("::1", "/b");
  for (int i = 0; i < 3; ++i) log += Line("192.0.2.7", "/c");
  for (int i = 0; i < 2; ++i) log += Line("198.51.100.9", "/d");
  log += Line("named.example.org", "/e");
  WriteFile(dir.File("in.log"), log);
  WriteFile(dir.File("lvipname.dat"), "203.0.113.5,old.example.net\n");
  WriteFile(dir.File("p.dat"), "INFILE=" + dir.File("in.log") +
                                   "\nOUTFILE=" + dir.File("out.html") + "\nDEBUG=Y\nTIMEOUT=5\n");

  auto resolverLog = std::make_shared<ResolverLog>();
  FaultEnv platform;
  platform.resolver = testing::ScriptedResolver({{"127.0.0.2", FakeAnswer{"loop.example.de"}},
                                                 {"::1", FakeAnswer{"six.example.jp"}},
                                                 {"198.51.100.9", FakeAnswer{"doc.example.com"}}},
                                                resolverLog, std::make_shared<testing::Gate>());

  auto run = [&] {
    std::string text;
    Console console(&text);
    ByteInput input{std::string()};
    RunEnvironment env{console, input, platform, dir.File("lvipname.dat")};
    EXPECT_EQ(RunLogvane({dir.File("p.dat")}, env), 0);
    console.Flush();
    return text;
  };

  std::string first = run();
  EXPECT_NE(first.find("translating names...\n\n\n"
                       "looking up: 127.0.0.2\n"
                       "    *got it* name is: loop.example.de\n"
                       "looking up: ::1\n"
                       "    *got it* name is: six.example.jp\n"
                       "looking up: 192.0.2.7\n"
                       "    *oops* could not get name for address: 192.0.2.7\n"
                       "looking up: 198.51.100.9\n"
                       "    *got it* name is: doc.example.com\n"
                       "generating reports...\n"),
            std::string::npos)
      << first;
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")),
            "203.0.113.5,old.example.net\n"
            "127.0.0.2,loop.example.de\n"
            "::1,six.example.jp\n"
            "198.51.100.9,doc.example.com\n");
  std::string report = ReadFile(dir.File("out.html"));
  EXPECT_NE(report.find("<td>loop.example.de</td>"), std::string::npos);
  EXPECT_NE(report.find("Germany"), std::string::npos);

  std::string second = run();
  EXPECT_NE(second.find("...... IP name file closed.  4 records loaded.\n"), std::string::npos);
  EXPECT_NE(second.find("translating names...\n\n\n"
                        "looking up: 192.0.2.7\n"
                        "    *oops* could not get name for address: 192.0.2.7\n"
                        "generating reports...\n"),
            std::string::npos)
      << second;
  EXPECT_EQ(resolverLog->calls(), (std::vector<std::string>{"127.0.0.2", "::1", "192.0.2.7",
                                                            "198.51.100.9", "192.0.2.7"}));
  // The file comes back sorted by address and keeps every name.
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")),
            "127.0.0.2,loop.example.de\n"
            "198.51.100.9,doc.example.com\n"
            "203.0.113.5,old.example.net\n"
            "::1,six.example.jp\n");
}

}  // namespace
}  // namespace logvane
