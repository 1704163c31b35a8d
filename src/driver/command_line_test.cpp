#include "driver/command_line.h"

#include <gtest/gtest.h>

namespace logvane {
namespace {

struct Parsed {
  bool withOptions;
  std::optional<std::string> parameterFile;
  std::vector<std::string> lines;
  bool quiet = false;
  bool check = false;
};

TEST(CommandLine, EveryOptionInEveryForm) {
  struct Case {
    std::vector<std::string> args;
    Parsed want;
  };
  using L = std::vector<std::string>;
  const std::vector<Case> cases = {
      // The form of old: one argument is the parameter file, others ignored.
      {{}, {false, std::nullopt, {}}},
      {{"p.dat", "ignored"}, {false, "p.dat", {}}},
      {{""}, {false, "", {}}},
      {{"--check", "p.dat"}, {false, "p.dat", {}, false, true}},
      // Options: bare arguments are logs, in place among the settings.
      {{"-o", "r.html", "a.log"}, {true, std::nullopt, L{"OUTFILE=r.html", "INFILE=a.log"}}},
      {{"-or.html", "a.log", "b.log.gz"},
       {true, std::nullopt, L{"OUTFILE=r.html", "INFILE=a.log", "INFILE=b.log.gz"}}},
      {{"--output=r.html", "-"}, {true, std::nullopt, L{"OUTFILE=r.html", "INFILE=-"}}},
      {{"--output", "-"}, {true, std::nullopt, L{"OUTFILE=-"}}},
      {{"-p", "x.dat", "a.log"}, {true, "x.dat", L{"INFILE=a.log"}}},
      {{"--params=x.dat"}, {true, "x.dat", {}}},
      {{"-f", "%h %t"}, {true, std::nullopt, L{"LOGFORMAT=%h %t"}}},
      {{"--format=JSON"}, {true, std::nullopt, L{"LOGFORMAT=JSON"}}},
      {{"--style", "modern"}, {true, std::nullopt, L{"STYLE=modern"}}},
      {{"--threads=3"}, {true, std::nullopt, L{"THREADS=3"}}},
      {{"--geoip", "Y"}, {true, std::nullopt, L{"GEOIP=Y"}}},
      {{"--title=A = B"}, {true, std::nullopt, L{"TITLE=A = B"}}},
      {{"--from=2026-11-01", "--until", "2026-11-30", "--agents=Y"},
       {true, std::nullopt, L{"FROM=2026-11-01", "UNTIL=2026-11-30", "AGENTS=Y"}}},
      {{"-s", "LOOKUP=Y", "--set=NOSHOW", "--set", "text5=Hosts"},
       {true, std::nullopt, L{"LOOKUP=Y", "NOSHOW", "text5=Hosts"}}},
      {{"--rotated=/var/log/access.log", "--rotated", "b"},
       {true, std::nullopt, L{"INFILE=/var/log/access.log*", "INFILE=b*"}}},
      {{"-q", "a.log"}, {true, std::nullopt, L{"INFILE=a.log"}, true}},
      {{"--quiet", "--check", "a.log"}, {true, std::nullopt, L{"INFILE=a.log"}, true, true}},
      {{"-qo", "r.html"}, {true, std::nullopt, L{"OUTFILE=r.html"}, true}},
      // "--" ends the options, and counts as one.
      {{"--", "-o", "--x"}, {true, std::nullopt, L{"INFILE=-o", "INFILE=--x"}}},
  };
  for (const Case& c : cases) {
    CommandLine got;
    Status s = ParseCommandLine(c.args, &got);
    std::string shown = c.args.empty() ? "(none)" : c.args[0];
    ASSERT_TRUE(s.ok()) << shown << ": " << s.ToString();
    EXPECT_EQ(got.withOptions, c.want.withOptions) << shown;
    EXPECT_EQ(got.parameterFile, c.want.parameterFile) << shown;
    EXPECT_EQ(got.lines, c.want.lines) << shown;
    EXPECT_EQ(got.quiet, c.want.quiet) << shown;
    EXPECT_EQ(got.check, c.want.check) << shown;
  }
  CommandLine help;
  ASSERT_TRUE(ParseCommandLine({"a.log", "-h"}, &help).ok());
  EXPECT_TRUE(help.help);
  CommandLine version;
  ASSERT_TRUE(ParseCommandLine({"--version"}, &version).ok());
  EXPECT_TRUE(version.version);
}

TEST(CommandLine, RefusalsNameWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-help"}, "unknown option '-e' in '-help' (long options begin with --)"},
      {{"-o"}, "option -o needs a value (FILE)"},
      {{"a.log", "--output"}, "option --output needs a value (FILE)"},
      {{"--quiet=yes"}, "option --quiet takes no value"},
      {{"-o", "a", "--output=b"}, "option --output given twice"},
      {{"--title=a", "--title=b"}, "option --title given twice"},
      {{"-p", "a", "-p", "b"}, "option -p given twice"},
      {{"--params="}, "option --params needs a file name"},
      {{"-s", "COLOUR=red"}, "-s 'COLOUR=red': no keyword"},
      {{"--set", "TITLE"}, "--set 'TITLE': TITLE needs =VALUE"},
      {{"--set=TITLE=a\nINFILE=/etc/shadow"},
       "--set 'TITLE=a\nINFILE=/etc/shadow': a setting "
       "is one line"},
      {{"--title=a\rb"}, "--title 'TITLE=a\rb': a setting is one line"},
      {{"-o", "x", "a\nb.log"}, "log 'a\nb.log': a setting is one line"},
  };
  for (const auto& [args, message] : cases) {
    CommandLine got;
    Status s = ParseCommandLine(args, &got);
    EXPECT_FALSE(s.ok()) << args[0];
    EXPECT_EQ(s.message(), message) << args[0];
  }
}

}  // namespace
}  // namespace logvane
