#include "intake/line_faults.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

TEST(LineFaultsTest, FaultTexts) {
  const std::string line = "the line\n";
  struct Case {
    LineFault fault;
    std::string text;
  };
  const Case cases[] = {
      {LineFault::kNone, ""},
      {LineFault::kNoBracket, "~"},
      {LineFault::kBadFormat, "*REJECTED LINE due to bad format*\n"},
      {LineFault::kNoHour, "Hour Not Found in: the line\n\n"},
      {LineFault::kNoPage, " NO PAGE/0: the line\n\n"},
      {LineFault::kPageTooFar, "Page not found in: the line\n\n"},
      {LineFault::kBadPageA, " BAD PAGE/a: the line\n\n"},
      {LineFault::kBadPageB, " BAD PAGE/b: the line\n\n"},
      {LineFault::kBadPageD, " BAD PAGE/d: the line\n\n"},
  };
  for (const Case& c : cases) {
    std::string out;
    {
      Console console(&out);
      ReportLineFault(c.fault, line, console);
    }
    EXPECT_EQ(out, c.text);
  }
  // A piece without its line end gets one line end only.
  std::string out;
  {
    Console console(&out);
    ReportLineFault(LineFault::kNoHour, "cut piece", console);
  }
  EXPECT_EQ(out, "Hour Not Found in: cut piece\n");
}

TEST(LineFaultsTest, EchoedLinesCarryNoTerminalControls) {
  using namespace std::string_literals;
  struct Case {
    std::string line;
    std::string shown;
  };
  const Case cases[] = {
      {"a\x1b]0;owned\x07"
       "b\n",
       "a?]0;owned?b\n"},
      {"x\x1b[2J\ry\r\n", "x?[2J?y\r\n"},  // a CRLF line end stays
      {"tab\tnul\0del\x7f\n"s, "tab\tnul?del?\n"},
      {"\xc3\xa9t\xc3\xa9\n", "\xc3\xa9t\xc3\xa9\n"},  // bytes above 127 stay
      {"mid\nline", "mid?line"},
  };
  for (const Case& c : cases) {
    std::string out;
    {
      Console console(&out);
      ReportLineFault(LineFault::kNoHour, c.line, console);
    }
    EXPECT_EQ(out, "Hour Not Found in: " + c.shown + "\n") << c.line;
  }
}

TEST(LineFaultsTest, RejectedLineIsFlushedAtOnce) {
  std::string out;
  Console console(&out);
  console.SetLineFlush(false);
  ReportLineFault(LineFault::kNoBracket, "x", console);
  ReportLineFault(LineFault::kBadFormat, "x", console);
  EXPECT_EQ(out, "~*REJECTED LINE due to bad format*\n");
}

}  // namespace
}  // namespace logvane
