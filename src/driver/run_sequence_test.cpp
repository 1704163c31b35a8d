#include "driver/run_sequence.h"

#include <gtest/gtest.h>

#include "common/version.h"
#include "support/test_support.h"

namespace logvane {
namespace {

using testing::TempDir;
using testing::WriteFile;

struct RunResult {
  std::string console;
  int status = -1;
};

RunResult RunWith(Env& platform, const std::vector<std::string>& args,
                  const std::string& input = "") {
  RunResult run;
  Console console(&run.console);
  ByteInput in(input);
  RunEnvironment env{console, in, platform, "lvipname.dat"};
  run.status = RunLogvane(args, env);
  console.Flush();
  return run;
}

TEST(RunSequenceSteps, SocketAndHostFailuresEndTheRunAtOnce) {
  FaultEnv noSockets;
  noSockets.startSockets = [] { return false; };
  RunResult a = RunWith(noSockets, {"p.dat"});
  EXPECT_EQ(a.console, "[Quorvel Logvane (v" + std::string(kVersion) +
                           ")]\n*ERROR* Could not windows socket.");
  EXPECT_NE(a.status, 0);

  FaultEnv noHost;
  noHost.hostName = [] { return std::optional<std::string>(); };
  RunResult b = RunWith(noHost, {"p.dat"});
  EXPECT_EQ(b.console,
            "[Quorvel Logvane (v" + std::string(kVersion) + ")]\n*ERROR* Could not get host name.");
  EXPECT_NE(b.status, 0);
}

TEST(RunSequenceSteps, HostNameIsCutTo49) {
  FaultEnv longHost;
  longHost.hostName = [] { return std::optional<std::string>(std::string(60, 'h')); };
  RunResult r = RunWith(longHost, {""});
  EXPECT_EQ(r.console, "[Quorvel Logvane (v" + std::string(kVersion) + ")]\n (running on host: " +
                           std::string(49, 'h') + ")\n*ERROR* Invalid parameter filename given.\n");
  EXPECT_EQ(r.status, 0);
}

TEST(RunSequenceSteps, PlowLowersThePriorityWhenItsLineIsRead) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "PLOW\nINFILE=" + dir.File("missing.log") + "\nLOOKUP=N\n");
  FaultEnv platform;
  int calls = 0;
  platform.lowerPriority = [&calls] { ++calls; };
  RunResult r = RunWith(platform, {dir.File("p.dat")});
  EXPECT_EQ(calls, 1);
  EXPECT_NE(r.console.find("run at a lower priority..\n"), std::string::npos);
}

TEST(RunSequenceSteps, SocketsShutDownOnlyAfterAFullRun) {
  TempDir dir;
  WriteFile(dir.File("in.log"), "");
  WriteFile(dir.File("p.dat"),
            "LOOKUP=N\nINFILE=" + dir.File("in.log") + "\nOUTFILE=" + dir.File("out.html") + "\n");
  FaultEnv platform;
  int stops = 0;
  platform.stopSockets = [&stops] { ++stops; };
  RunResult full = RunWith(platform, {dir.File("p.dat")});
  EXPECT_EQ(full.status, 0);
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(full.console.ends_with("finished: Thu Oct  8 13:55:36 1998\n\nclosing...\n"));

  WriteFile(dir.File("q.dat"), "LOOKUP=N\nINFILE=" + dir.File("in.log") +
                                   "\nOUTFILE=" + dir.File("no/such/dir/out.html") + "\n");
  RunResult failed = RunWith(platform, {dir.File("q.dat")});
  EXPECT_NE(failed.status, 0);
  EXPECT_EQ(stops, 1);
}

}  // namespace
}  // namespace logvane

namespace logvane {
namespace {

TEST(RunSequenceSteps, HelpAndVersionEndWithStatusZero) {
  FaultEnv machine;
  RunResult help = RunWith(machine, {"--help", "p.dat"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(
      help.console.starts_with("usage: logvane [OPTION]... [LOG]...\n"
                               "       logvane [PARAMETER-FILE]\n"));
  EXPECT_EQ(RunWith(machine, {"-h"}).console, help.console);
  RunResult version = RunWith(machine, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.console, "Quorvel Logvane v" + std::string(kVersion) + "\n");
  // An argument that begins with "-" is an option now: one that is not
  // known ends the run before anything is read.
  RunResult other = RunWith(machine, {"-help"});
  EXPECT_EQ(other.status, 2);
  EXPECT_EQ(other.console, "");
  // Anything else names the parameter file, as before.
  RunResult file = RunWith(machine, {"help"});
  EXPECT_NE(file.console.find("PARAMETER file: help\n"), std::string::npos);
}

}  // namespace
}  // namespace logvane
