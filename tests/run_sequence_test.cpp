// The run sequence of the built program, compared as whole console
// transcripts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "common/version.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

std::string Banner() {
  SystemEnv machine;
  std::string host;
  (void)machine.HostName(&host);
  return "[Quorvel Logvane (v" + std::string(kVersion) + ")]\n (running on host: " + host + ")\n";
}

const std::string kSampleLog =
    "192.0.2.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /index.html HTTP/1.0\" 200 2326\n";

// The lines from " - reading records..." to "closing...", for a run whose
// log is read to its end. With no lookups and no real reading phase yet the
// count is whatever `processed` says.
std::string RunTail(const std::string& processed, bool lookups) {
  std::string tail =
      " - reading records...\n\n"
      "started: " +
      std::string(kFakeTime) + "\n" + processed + "sorting...\n\n\n";
  if (lookups) tail += "translating names...\n\n\n";
  tail +=
      "generating reports...\n"
      "...... new output file created.\n"
      "\n finished reporting...\n\n"
      "finished: " +
      std::string(kFakeTime) + "\n";
  return tail;
}

TEST(RunSequence, NoArgumentReadsTheDefaultParameterFile) {
  TempDir dir;
  ProgramResult missing = RunProgram(dir.path(), {});
  EXPECT_EQ(missing.output, Banner() + "*ERROR* Could not open parameters file.");
  EXPECT_NE(missing.status, 0);

  WriteFile(dir.File("lvparam.dat"), "LOOKUP=N\nINFILE=none.log\n");
  ProgramResult found = RunProgram(dir.path(), {});
  EXPECT_EQ(found.output, Banner() +
                              "...... parameters file opened.\n"
                              "lookup flag set to: N\n"
                              "Input file: none.log\n"
                              "...... parameters file closed.\n\n"
                              "*ERROR* Could not open input file.");
  EXPECT_NE(found.status, 0);
  EXPECT_EQ(found.errors,
            "logvane: cannot open input file 'none.log': No such file or directory\n");
}

TEST(RunSequence, EmptyArgumentEndsWithStatusZero) {
  TempDir dir;
  WriteFile(dir.File("lvparam.dat"), "LOOKUP=N\n");
  ProgramResult r = RunProgram(dir.path(), {"", "ignored"});
  EXPECT_EQ(r.output, Banner() + "*ERROR* Invalid parameter filename given.\n");
  EXPECT_EQ(r.status, 0);
}

TEST(RunSequence, MissingParameterFileEndsBeforeAnyPrompt) {
  TempDir dir;
  ProgramResult r = RunProgram(dir.path(), {"nothere.dat"}, "a.log\nb.html\n");
  EXPECT_EQ(r.output, Banner() +
                          "PARAMETER file: nothere.dat\n\n"
                          "*ERROR* Could not open parameters file.");
  EXPECT_NE(r.status, 0);
}

TEST(RunSequence, OverLongParameterFileNameIsRefused) {
  TempDir dir;
  ProgramResult r = RunProgram(dir.path(), {std::string(100, 'p')});
  EXPECT_EQ(r.output, Banner() + "*ERROR* Parameter filename is longer than 99 characters.\n");
  EXPECT_NE(r.status, 0);
}

TEST(RunSequence, BothPromptsAnsweredFromOneLine) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "LOOKUP=N\n");
  WriteFile(dir.File("in.log"), "");
  // The second word of the line answers the second prompt.
  ProgramResult r = RunProgram(dir.path(), {"p.dat"}, "\n   in.log   out.html\n");
  EXPECT_EQ(MaskTimes(r.output),
            Banner() +
                "PARAMETER file: p.dat\n\n"
                "...... parameters file opened.\n"
                "lookup flag set to: N\n"
                "...... parameters file closed.\n\n"
                "Please enter the input log filename: "
                "...... input file opened.\n"
                "Enter the output filename (to be created): " +
                RunTail("End of file...\ncompleted reading... processed: 0 records.\n", false) +
                "closing...\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(FileExists(dir.File("out.html")));
}

TEST(RunSequence, InputClosedBeforeAWord) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "LOOKUP=N\n");
  ProgramResult noInput = RunProgram(dir.path(), {"p.dat"}, "  \n");
  EXPECT_EQ(noInput.output, Banner() +
                                "PARAMETER file: p.dat\n\n"
                                "...... parameters file opened.\n"
                                "lookup flag set to: N\n"
                                "...... parameters file closed.\n\n"
                                "Please enter the input log filename: "
                                "*ERROR* Could not open input file.");
  EXPECT_NE(noInput.status, 0);

  // An empty output name ends the run only after reading and sorting.
  WriteFile(dir.File("q.dat"), "LOOKUP=N\nINFILE=in.log\n");
  WriteFile(dir.File("in.log"), kSampleLog);
  ProgramResult noOutput = RunProgram(dir.path(), {"q.dat"}, "");
  std::string out = MaskTimes(noOutput.output);
  EXPECT_NE(out.find("Enter the output filename (to be created):  - reading records...\n"),
            std::string::npos);
  EXPECT_NE(out.find("sorting...\n\n\ngenerating reports...\n"
                     "*ERROR* Could not open output file."),
            std::string::npos);
  EXPECT_TRUE(out.ends_with("generating reports...\n*ERROR* Could not open output file."));
  EXPECT_NE(noOutput.status, 0);
}

TEST(RunSequence, OverLongPromptAnswerIsRefused) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "LOOKUP=N\n");
  ProgramResult r = RunProgram(dir.path(), {"p.dat"}, std::string(120, 'f') + "\n");
  EXPECT_NE(r.output.find("Please enter the input log filename: \n"
                          "*ERROR* Input filename is longer than 119 characters.\n"),
            std::string::npos);
  EXPECT_NE(r.status, 0);
}

TEST(RunSequence, LookupOffRunReadsNothingFromTheConsole) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "INFILE=in.log\nOUTFILE=out.html\nLOOKUP=N\n");
  WriteFile(dir.File("in.log"), "");
  WriteFile(dir.File("lvipname.dat"), "192.0.2.1,host.example.com\n");
  ProgramResult r = RunProgram(dir.path(), {"p.dat"});
  EXPECT_EQ(MaskTimes(r.output),
            Banner() +
                "PARAMETER file: p.dat\n\n"
                "...... parameters file opened.\n"
                "Input file: in.log\n"
                "Output file: out.html\n"
                "lookup flag set to: N\n"
                "...... parameters file closed.\n\n"
                "...... input file opened.\n" +
                RunTail("End of file...\ncompleted reading... processed: 0 records.\n", false) +
                "closing...\n");
  EXPECT_EQ(r.status, 0);
  // The cache file is left untouched.
  EXPECT_EQ(ReadFile(dir.File("lvipname.dat")), "192.0.2.1,host.example.com\n");
}

TEST(RunSequence, ListOverflowEndsTheRun) {
  TempDir dir;
  std::string params = "LOOKUP=N\n";
  for (int i = 0; i < 100; ++i) params += "EXCLUDE_TYPE=.t" + std::to_string(i) + "\n";
  WriteFile(dir.File("p.dat"), params);
  ProgramResult r = RunProgram(dir.path(), {"p.dat"});
  EXPECT_TRUE(r.output.ends_with("excluding type: [.t98]\n*ERROR* too many exclusion types\n"));
  EXPECT_NE(r.status, 0);
}

TEST(RunSequence, LogThatIsADirectoryCannotBeOpened) {
  TempDir dir;
  WriteFile(dir.File("p.dat"), "LOOKUP=N\nINFILE=.\nOUTFILE=out.html\n");
  ProgramResult r = RunProgram(dir.path(), {"p.dat"});
  EXPECT_TRUE(r.output.ends_with("*ERROR* Could not open input file."));
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(FileExists(dir.File("out.html")));
}

}  // namespace
}  // namespace logvane::testing
