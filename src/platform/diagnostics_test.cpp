#include "platform/diagnostics.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace logvane {
namespace {

TEST(Diagnostics, LinesCarryTheProgramNameAndTheWorstSeverityIsKept) {
  std::string captured;
  Console out(&captured);
  Diagnostics diagnostics(&out);
  diagnostics.Report(Severity::kNote, "", "n");
  EXPECT_EQ(diagnostics.worst(), Severity::kNote);
  diagnostics.Report(Severity::kWarning, FileLine("p.dat", 3), "w");
  diagnostics.Report(Severity::kNote, "", "n2");
  EXPECT_EQ(diagnostics.worst(), Severity::kWarning);
  diagnostics.Reason("cannot open x: " + SystemReason(ENOENT));
  EXPECT_EQ(diagnostics.worst(), Severity::kError);
  EXPECT_EQ(captured,
            "logvane: note: n\nlogvane: p.dat:3: warning: w\nlogvane: note: n2\n"
            "logvane: cannot open x: No such file or directory\n");
  Diagnostics silent(nullptr);
  silent.Report(Severity::kError, "", "dropped");
  EXPECT_EQ(silent.worst(), Severity::kError);
}

TEST(Diagnostics, VisibleShowsEveryByteThatCouldDriveATerminal) {
  EXPECT_EQ(Visible("plain text"), "plain text");
  EXPECT_EQ(Visible(std::string("a\x1b[2J\tb\\\x7f\xc3\xa9\n\0", 13)),
            "a\\x1b[2J\\x09b\\\\\\x7f\\xc3\\xa9\\x0a\\x00");
  EXPECT_EQ(Visible(std::string(100, 'x'), 10), "xxxxxxxxxx...");
  EXPECT_EQ(Quoted("it's"), "'it's'");
}

}  // namespace
}  // namespace logvane
