#include "config/parameter_file.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

struct Outcome {
  RunSettings settings;
  ReportLabels labels;
  std::string console;
  bool goesOn = true;
  int priorityCalls = 0;
};

Outcome Read(const std::string& content) {
  Outcome o;
  Console console(&o.console);
  std::function<void()> lower = [&o] { ++o.priorityCalls; };
  o.goesOn = ReadParameterFile(content, o.settings, o.labels, console, lower);
  console.Flush();
  return o;
}

TEST(ParameterFile, EveryKeywordEchoesInFileOrder) {
  Outcome o = Read(
      "INFILE=access.log\n"
      "OUTFILE=report.html\n"
      "TITLE=Stats\n"
      "ULOOKUP=<a href=\"http://example.org/?u={user}\">\n"
      "hstb_loc=img\n"
      "ROBOTS=RPT\n"
      "geoip=/var/lib/country.mmdb\n"
      "SELECT=GET /Docs\n"
      "LOOKUP=X\n"
      "DEBUG=F\n"
      "TIMEOUT=5\n"
      "HOFFSET=-2\n"
      "MAXUSERS=50\n"
      "MAXPAGES=30\n"
      "MAXNOTFOUND=15\n"
      "MAXDIRS=12\n"
      "MAXNATIONS=40\n"
      "MAXEXTRA1=25\n"
      "MAXEXTRA2=26\n"
      "ADJWIDTH=100\n"
      "DNSTHREADS=8\n"
      "LOGFORMAT=$remote_addr [$time_local] \"$request\"\n"
      "EXTRA1=%v\n"
      "EXTRA2=host\n"
      "EXCLUDE_ADDR=10.1.\n"
      "EXCLUDE_TYPE=.GIF\n"
      "EXCLUDE_EXTRA1=bot\n"
      "EXCLUDE_EXTRA2=spam\n"
      "NOSHOW\n"
      "PAGES=FULL\n"
      "PLOW\n"
      "PROXY=ON\n"
      "USER=FIELD2\n"
      "NO_USER\nNO_DATE\nNO_DAY\nNO_HOUR\nNO_PAGE\nNO_DIR\nNO_NATION\nNO_CODE\n"
      "text5=Visitors\n");
  EXPECT_TRUE(o.goesOn);
  EXPECT_EQ(o.console,
            "Input file: access.log\n"
            "Output file: report.html\n"
            "Title set to: Stats\n"
            "ULOOKUP: <a href=\"http://example.org/?u={user}\">\n"
            "hstb.gif location: img\n"
            "Robots: RPT\n"
            "GeoIP database: /var/lib/country.mmdb\n"
            "Selecting only: GET /Docs\n"
            "lookup flag set to: X\n"
            "debug flag set to: F\n"
            "DNS timeout: 5\n"
            "Hourly Offset: -2\n"
            "MAX TOP USERS: 50\n"
            "MAX TOP PAGES: 30\n"
            "MAX NOT FOUND: 15\n"
            "MAX TOP DIRECTORIES: 12\n"
            "MAX TOP NATIONS: 40\n"
            "MAX EXTRA 1: 25\n"
            "MAX EXTRA 2: 26\n"
            "ADJ WIDTH: 100\n"
            "DNS threads: 8\n"
            "Log format: $remote_addr [$time_local] \"$request\"\n"
            "Extra 1 field: %v\n"
            "Extra 2 field: host\n"
            "excluding address: [10.1.]\n"
            "excluding type: [.GIF]\n"
            "excluding EXTRA 1: [bot]\n"
            "excluding EXTRA 2: [spam]\n"
            "NO SHOW exclusions.\n"
            "* Full page details *.\n"
            "run at a lower priority..\n"
            "analyze as PROXY log..\n"
            "use field2 as user when available..\n"
            "USERS report dropped..\n"
            "DATES report dropped..\n"
            "DAYS report dropped..\n"
            "HOURS report dropped..\n"
            "PAGES report dropped..\n"
            "DIRECTORIES report dropped..\n"
            "NATIONS report dropped..\n"
            "SERVER CODES report dropped..\n");
  const RunSettings& s = o.settings;
  EXPECT_EQ(s.inputFile, "access.log");
  EXPECT_EQ(s.outputFile, "report.html");
  EXPECT_EQ(s.reportTitle, "Stats");
  EXPECT_EQ(s.barImageLocation, "img");
  EXPECT_EQ(s.robotsMode, "RPT");
  EXPECT_EQ(s.geoipDatabase, "/var/lib/country.mmdb");
  EXPECT_EQ(s.selectText, "get /docs");
  EXPECT_TRUE(s.selectOn);
  EXPECT_EQ(s.lookupMode, 'X');
  EXPECT_EQ(s.debugMode, 'F');
  EXPECT_EQ(s.lookupTimeout, 5);
  EXPECT_EQ(s.hourOffset, -2);
  EXPECT_EQ(s.maxUsers, 50);
  EXPECT_EQ(s.maxExtra2, 26);
  EXPECT_EQ(s.graphWidth, 500);
  EXPECT_EQ(s.dnsThreads, 8);
  EXPECT_EQ(s.logFormat, "$remote_addr [$time_local] \"$request\"");
  EXPECT_EQ(s.extra1Field, "%v");
  EXPECT_EQ(s.extra2Field, "host");
  EXPECT_EQ(s.excludedTypes.at(0), ".gif");
  EXPECT_FALSE(s.showParameters);
  EXPECT_TRUE(s.fullPageDetails && s.proxyMode && s.userFromField2);
  EXPECT_FALSE(s.showUsers || s.showDates || s.showDays || s.showHours || s.showPages ||
               s.showDirs || s.showNations || s.showCodes);
  EXPECT_EQ(o.priorityCalls, 1);
  EXPECT_EQ(o.labels[kTopUsers], "Visitors");
}

TEST(ParameterFile, KeywordsMatchInAnyCaseOnlyAtTheStartOfALine) {
  struct Case {
    const char* line;
    int32_t maxUsers;
  };
  const Case cases[] = {
      {"maxusers=50\n", 50},
      {"MaxUsers=50\n", 50},
      {" MAXUSERS=50\n", 20},   // leading blank: skipped
      {"\tMAXUSERS=50\n", 20},  // leading tab: no keyword at the start
      {";MAXUSERS=50\n", 20},   // comment
      {"MAXUSERS 50\n", 20},    // no "=": ignored
      {"MAXUSERSX=50\n", 50},   // anything may follow the keyword
      {"X\n", 20},
  };
  for (const Case& c : cases) {
    Outcome o = Read(c.line);
    EXPECT_EQ(o.settings.maxUsers, c.maxUsers) << c.line;
  }
}

TEST(ParameterFile, NumbersAreCorrectedIntoTheirRanges) {
  struct Case {
    const char* line;
    int32_t RunSettings::*field;
    int32_t expected;
    const char* echo;
  };
  const Case cases[] = {
      {"MAXUSERS=5", &RunSettings::maxUsers, 10, "MAX TOP USERS: 10\n"},
      {"MAXUSERS=10", &RunSettings::maxUsers, 10, "MAX TOP USERS: 10\n"},
      {"MAXUSERS=11", &RunSettings::maxUsers, 11, "MAX TOP USERS: 11\n"},
      {"MAXUSERS=9999", &RunSettings::maxUsers, 9999, "MAX TOP USERS: 9999\n"},
      {"MAXUSERS=10000", &RunSettings::maxUsers, 9999, "MAX TOP USERS: 9999\n"},
      {"MAXUSERS=abc", &RunSettings::maxUsers, 10, "MAX TOP USERS: 10\n"},
      {"MAXPAGES=5", &RunSettings::maxPages, 5, "MAX TOP PAGES: 5\n"},
      {"MAXPAGES=0", &RunSettings::maxPages, 10, "MAX TOP PAGES: 10\n"},
      {"MAXPAGES=-3", &RunSettings::maxPages, 10, "MAX TOP PAGES: 10\n"},
      {"MAXPAGES=10000", &RunSettings::maxPages, 9999, "MAX TOP PAGES: 9999\n"},
      {"MAXNOTFOUND=1", &RunSettings::maxNotFound, 1, "MAX NOT FOUND: 1\n"},
      {"MAXNOTFOUND=1000", &RunSettings::maxNotFound, 999, "MAX NOT FOUND: 999\n"},
      {"MAXDIRS=1000", &RunSettings::maxDirs, 999, "MAX TOP DIRECTORIES: 999\n"},
      {"MAXDIRS=0", &RunSettings::maxDirs, 10, "MAX TOP DIRECTORIES: 10\n"},
      {"MAXNATIONS=5", &RunSettings::maxNations, 10, "MAX TOP NATIONS: 10\n"},
      {"MAXNATIONS=500", &RunSettings::maxNations, 500, "MAX TOP NATIONS: 500\n"},
      {"MAXNATIONS=600", &RunSettings::maxNations, 500, "MAX TOP NATIONS: 500\n"},
      {"MAXEXTRA1=0", &RunSettings::maxExtra1, 20, "MAX EXTRA 1: 20\n"},
      {"MAXEXTRA1=1000", &RunSettings::maxExtra1, 999, "MAX EXTRA 1: 999\n"},
      {"MAXEXTRA2=-1", &RunSettings::maxExtra2, 20, "MAX EXTRA 2: 20\n"},
      {"TIMEOUT=0", &RunSettings::lookupTimeout, 20, "DNS timeout: 20\n"},
      {"TIMEOUT=abc", &RunSettings::lookupTimeout, 20, "DNS timeout: 20\n"},
      {"TIMEOUT=-4", &RunSettings::lookupTimeout, -4, "DNS timeout: -4\n"},
      {"HOFFSET=abc", &RunSettings::hourOffset, 0, "Hourly Offset: 0\n"},
      {"HOFFSET= +7x", &RunSettings::hourOffset, 7, "Hourly Offset: 7\n"},
      {"HOFFSET=99999999999999999999999", &RunSettings::hourOffset, INT32_MAX,
       "Hourly Offset: 2147483647\n"},
      {"ADJWIDTH=500", &RunSettings::graphWidth, 750, "ADJ WIDTH: 350\n"},
      {"ADJWIDTH=-1000", &RunSettings::graphWidth, 50, "ADJ WIDTH: -350\n"},
      {"DNSTHREADS=0", &RunSettings::dnsThreads, 1, "DNS threads: 1\n"},
      {"DNSTHREADS=100", &RunSettings::dnsThreads, 64, "DNS threads: 64\n"},
      {"THREADS=0", &RunSettings::readingThreads, 0, "Threads: 0\n"},
      {"threads=3", &RunSettings::readingThreads, 3, "Threads: 3\n"},
      {"THREADS=-2", &RunSettings::readingThreads, 0, "Threads: 0\n"},
      {"THREADS=100000", &RunSettings::readingThreads, 256, "Threads: 256\n"},
      {"THREADS", &RunSettings::readingThreads, 0, ""},
  };
  for (const Case& c : cases) {
    Outcome o = Read(std::string(c.line) + "\n");
    EXPECT_EQ(o.settings.*c.field, c.expected) << c.line;
    EXPECT_EQ(o.console, c.echo) << c.line;
  }
}

TEST(ParameterFile, OnlyTwentyCharactersOfANumberAreConverted) {
  // The 21st digit is not part of the number.
  Outcome o = Read(
      "HOFFSET=00000000000000000001"
      "5\n");
  EXPECT_EQ(o.settings.hourOffset, 1);
}

TEST(ParameterFile, AdjustmentsAddUp) {
  Outcome o = Read("ADJWIDTH=200\nADJWIDTH=200\n");
  EXPECT_EQ(o.settings.graphWidth, 800);
  EXPECT_EQ(o.console, "ADJ WIDTH: 200\nADJ WIDTH: 200\n");
}

TEST(ParameterFile, ValuesAreTakenVerbatim) {
  Outcome o = Read("EXCLUDE_ADDR = 10.1\nTITLE=  My Stats  \nINFILE=my log.txt\n");
  EXPECT_EQ(o.settings.excludedAddresses.at(0), " 10.1");
  EXPECT_EQ(o.settings.reportTitle, "  My Stats  ");
  EXPECT_EQ(o.settings.inputFile, "my log.txt");
  Outcome empty = Read("TITLE=\n");
  EXPECT_EQ(empty.settings.reportTitle, "");
  EXPECT_EQ(empty.console, "Title set to: \n");
  // A later line replaces the earlier value whole.
  Outcome twice = Read("TITLE=First title\nTITLE=Stats\n");
  EXPECT_EQ(twice.settings.reportTitle, "Stats");
}

TEST(ParameterFile, LastLineWithoutLineEndKeepsItsWholeValue) {
  EXPECT_EQ(Read("NOSHOW\nTITLE=Stats").settings.reportTitle, "Stats");
  EXPECT_EQ(Read("TITLE=Stats\r\n").settings.reportTitle, "Stats");  // CR LF files
  EXPECT_EQ(Read("X").console, "");  // a one-character last line is skipped
}

TEST(ParameterFile, TextsAreCutToTheirFields) {
  std::string longText(150, 't');
  Outcome o = Read("TITLE=" + longText + "\nSELECT=" + longText + "\nEXCLUDE_ADDR=" + longText +
                   "\nEXCLUDE_TYPE=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n");
  EXPECT_EQ(o.settings.reportTitle, std::string(80, 't'));
  EXPECT_EQ(o.settings.selectText, std::string(99, 't'));
  EXPECT_EQ(o.settings.excludedAddresses.at(0), std::string(100, 't'));
  EXPECT_EQ(o.settings.excludedTypes.at(0), "abcdefghijklmnopqrst");
  EXPECT_NE(o.console.find("excluding type: [ABCDEFGHIJKLMNOPQRST]\n"), std::string::npos);
}

TEST(ParameterFile, OverLongNamesEndTheRunInsteadOfBeingCut) {
  struct Case {
    std::string keyword;
    size_t width;
  };
  const Case cases[] = {{"INFILE", 119}, {"OUTFILE", 119},    {"ULOOKUP", 199}, {"hstb_loc", 49},
                        {"ROBOTS", 6},   {"LOGFORMAT", 1000}, {"EXTRA1", 100},  {"EXTRA2", 100}};
  for (const Case& c : cases) {
    Outcome fits = Read(c.keyword + "=" + std::string(c.width, 'a') + "\n");
    EXPECT_TRUE(fits.goesOn) << c.keyword;
    Outcome o = Read(c.keyword + "=" + std::string(c.width + 1, 'a') + "\nTITLE=x\n");
    EXPECT_FALSE(o.goesOn) << c.keyword;
    EXPECT_EQ(o.console, "*ERROR* " + c.keyword + " value is longer than " +
                             std::to_string(c.width) + " characters.\n");
  }
}

TEST(ParameterFile, OneCharacterSettings) {
  EXPECT_EQ(Read("LOOKUP=no\n").settings.lookupMode, 'n');
  Outcome empty = Read("LOOKUP=\n");
  EXPECT_EQ(empty.settings.lookupMode, '\n');  // neither N nor X: lookups stay on
  EXPECT_EQ(empty.console, "lookup flag set to: \n\n");
  EXPECT_EQ(Read("DEBUG=y\n").settings.debugMode, 'y');
}

TEST(ParameterFile, ExclusionListsHoldNinetyNineValues) {
  struct Case {
    std::string keyword;
    std::vector<std::string> RunSettings::*list;
    std::string overflow;
  };
  const Case cases[] = {
      {"EXCLUDE_ADDR", &RunSettings::excludedAddresses, "*ERROR* too many exclusion addresses\n"},
      {"EXCLUDE_TYPE", &RunSettings::excludedTypes, "*ERROR* too many exclusion types\n"},
      {"EXCLUDE_EXTRA1", &RunSettings::excludedExtra1, "*ERROR* too many EXTRA 1 exclusions \n"},
      {"EXCLUDE_EXTRA2", &RunSettings::excludedExtra2, "*ERROR* too many EXTRA 2 exclusions \n"},
  };
  for (const Case& c : cases) {
    std::string file;
    for (int i = 1; i <= 99; ++i) file += c.keyword + "=v" + std::to_string(i) + "\n";
    Outcome full = Read(file);
    EXPECT_TRUE(full.goesOn) << c.keyword;
    EXPECT_EQ((full.settings.*c.list).size(), 99u);
    EXPECT_EQ((full.settings.*c.list).back(), "v99");

    Outcome over = Read(file + c.keyword + "=v100\nTITLE=after\n");
    EXPECT_FALSE(over.goesOn) << c.keyword;
    EXPECT_EQ((over.settings.*c.list).size(), 99u);
    EXPECT_EQ(over.settings.reportTitle, "Logvane Report");  // nothing after it is read
    ASSERT_GE(over.console.size(), c.overflow.size());
    EXPECT_EQ(over.console.substr(over.console.size() - c.overflow.size()), c.overflow);
    EXPECT_EQ(over.console.find("v100"), std::string::npos);
  }
  // An empty value takes a place like any other.
  EXPECT_EQ(Read("EXCLUDE_ADDR=\n").settings.excludedAddresses.size(), 1u);
}

TEST(ParameterFile, SwitchesNeedTheirWholeKeyword) {
  EXPECT_FALSE(Read("PROXY=OFF\n").settings.proxyMode);
  EXPECT_EQ(Read("PROXY=OFF\n").console, "");
  EXPECT_FALSE(Read("PAGES=SOME\n").settings.fullPageDetails);
  EXPECT_TRUE(Read("proxy=on and more\n").settings.proxyMode);
}

TEST(ParameterFile, StyleModernChoosesTheModernReportAnythingElseTheClassic) {
  struct Case {
    const char* file;
    ReportStyle style;
    const char* console;
  };
  const Case cases[] = {
      {"", ReportStyle::kClassic, ""},
      {"STYLE=MODERN\n", ReportStyle::kModern, "Report style: MODERN\n"},
      {"style=Modern  \r\n", ReportStyle::kModern, "Report style: Modern  \n"},
      {"STYLE=CLASSIC\n", ReportStyle::kClassic, "Report style: CLASSIC\n"},
      {"STYLE= MODERN\n", ReportStyle::kClassic, "Report style:  MODERN\n"},
      {"STYLE=MODERNE\n", ReportStyle::kClassic, "Report style: MODERNE\n"},
      {"STYLE MODERN\n", ReportStyle::kClassic, ""},
      {"STYLE=MODERN\nSTYLE=\n", ReportStyle::kClassic, "Report style: MODERN\nReport style: \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Outcome o = Read(c.file);
    EXPECT_EQ(o.settings.reportStyle, c.style);
    EXPECT_EQ(o.console, c.console);
  }
}

TEST(ParameterFile, ProxyLabelsAgainstLabelLines) {
  Outcome before = Read("text31=Site\nPROXY=ON\n");
  EXPECT_EQ(before.labels[kPage], "Domain");
  Outcome after = Read("PROXY=ON\ntext31=Site\n");
  EXPECT_EQ(after.labels[kPage], "Site");
  EXPECT_EQ(after.labels[kTopPages], "Top Domains");
  EXPECT_EQ(after.labels[kTopDirectories], "Top Access Methods");
  EXPECT_EQ(after.labels[kDirectory], "Method");
  EXPECT_EQ(after.labels[kTotalUniqueDirectories], "Total Access Methods       ");
  EXPECT_EQ(after.labels[kTotalUniquePages], "Total Unique Pages");
  EXPECT_EQ(after.console, "analyze as PROXY log..\n");  // label lines print nothing
}

TEST(ParameterFile, LongLinesAreReadInPiecesOf1999) {
  // The second piece starts with a keyword of its own.
  std::string line = "TITLE=" + std::string(1993, 'x') + "MAXUSERS=77\n";
  Outcome o = Read(line);
  EXPECT_EQ(o.settings.reportTitle, std::string(80, 'x'));
  EXPECT_EQ(o.settings.maxUsers, 77);
  // A piece shorter than two characters is skipped: the leftover "y" does nothing.
  Outcome tail = Read("TITLE=" + std::string(1993, 'z') + "y\n");
  EXPECT_EQ(tail.console, "Title set to: " + std::string(80, 'z') + "\n");
}

TEST(ParameterFile, DateRangeAndResponseTimeKeywords) {
  Outcome o = Read(
      "FROM=2025-03-01\nUNTIL=2025-03-31T12:00+02:00\nTIMEFIELD=duration_ms:ms\nNO_TIMES\n"
      "MAXSLOW=0\nMINHITS=-5\n");
  EXPECT_TRUE(o.goesOn);
  EXPECT_EQ(o.console,
            "From: 2025-03-01\nUntil: 2025-03-31T12:00+02:00\nTime field: duration_ms:ms\n"
            "RESPONSE TIMES report dropped..\nMAX SLOWEST PAGES: 20\n"
            "MIN HITS OF SLOWEST PAGES: 1\n");
  EXPECT_TRUE(o.settings.dateRange.from.set && !o.settings.dateRange.from.absolute);
  EXPECT_TRUE(o.settings.dateRange.until.absolute);
  EXPECT_EQ(o.settings.fromText, "2025-03-01");
  EXPECT_EQ(o.settings.timeField, "duration_ms:ms");
  EXPECT_FALSE(o.settings.showTimes);
  EXPECT_EQ(o.settings.maxSlow, 20);
  EXPECT_EQ(o.settings.minSlowHits, 1);
  // A value that is no date, or a range that keeps nothing, ends the run.
  for (const char* bad : {"FROM=March\n", "UNTIL=2025-03-01\nFROM=2025-03-02\n"}) {
    Outcome refused = Read(bad);
    EXPECT_FALSE(refused.goesOn) << bad;
    EXPECT_NE(refused.console.find("*ERROR* "), std::string::npos) << refused.console;
  }
}

}  // namespace
}  // namespace logvane
