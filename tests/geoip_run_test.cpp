// Whole runs with GEOIP: nations by address from a tor range file and from
// an MMDB file, the addresses of users whose keys became names, and every
// way a database can fail, which leaves the report as it is without one.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/test_support.h"

namespace logvane::testing {
namespace {

const std::string kTestData = std::string(LOGVANE_SOURCE_DIR) + "/src/names/testdata/";

std::string Line(const std::string& client, const std::string& user = "-") {
  return client + " - " + user + " [05/Dec/2026:06:08:28 +0100] \"GET / HTTP/1.1\" 200 100\n";
}

// Users: by address from either database, one whose cached name says France
// but whose address is British, a host name and an ident name that keep the
// domain rule, a private address and an unknown one.
std::string MixedLog() {
  std::string log;
  auto times = [&](int n, const std::string& line) {
    for (int i = 0; i < n; ++i) log += line;
  };
  times(7, Line("81.2.69.160"));  // cached as gw.example.fr
  times(6, Line("2001:200::5"));
  times(5, Line("216.160.83.56"));
  times(4, Line("crawler.example.jp"));
  times(3, Line("10.1.2.3"));
  times(2, Line("9.9.9.9"));
  times(1, Line("216.160.83.57", "ops.example.de"));
  return log;
}

// The Top Nations rows as "name=hits" lines.
std::string NationRows(const std::string& report) {
  size_t start = report.find("<a name=TN>");
  size_t end = report.find("</table>", start);
  std::string section = report.substr(start, end - start);
  std::string rows;
  std::regex row("<tr><td>\\d+</td><td>([^<]*)</td><td>(\\d+)</td>");
  for (std::sregex_iterator i(section.begin(), section.end(), row), e; i != e; ++i) {
    rows += (*i)[1].str() + "=" + (*i)[2].str() + "\n";
  }
  return rows;
}

std::string WithoutTime(const std::string& report) {
  return std::regex_replace(report, std::regex("Report Produced: [^\n]*\n"), "");
}

struct GeoRun {
  ProgramResult result;
  std::string report;
};

GeoRun RunWith(const TempDir& dir, const std::string& geoip, const std::string& more = "") {
  WriteFile(dir.File("access.log"), MixedLog());
  WriteFile(dir.File("lvipname.dat"), "81.2.69.160,gw.example.fr\n");
  // hstb_loc keeps standard error free of the note on the bars' location.
  std::string params =
      "INFILE=access.log\nOUTFILE=report.html\nLOOKUP=X\nUSER=FIELD2\nhstb_loc=.\n" + more;
  if (!geoip.empty()) params += "GEOIP=" + geoip + "\n";
  WriteFile(dir.File("p.dat"), params);
  GeoRun run;
  run.result = RunProgram(dir.path(), {"p.dat"});
  run.report = ReadFile(dir.File("report.html"));
  return run;
}

TEST(GeoipRun, BothFormatsClassifyByTheAddressReadFromTheLog) {
  TempDir dir;
  WriteFile(dir.File("ranges"),
            "# Generated: Thu, 25 Jun 2026 04:33:59 GMT\n# License: CC BY-SA 4.0\n"
            "1359103232,1359103487,GB\n"  // 81.2.69.0/24
            "3634385664,3634385919,US\n"  // 216.160.83.0/24
            "2001:200::,2001:200:ffff:ffff:ffff:ffff:ffff:ffff,JP\n");
  const std::string expected =
      "Japan=10\nGreat Britain (UK)=7\nU.S.A.=5\n(local network)=3\n(unknown)=2\nGermany=1\n";
  for (const std::string& geoip : {std::string("ranges"), kTestData + "country.mmdb"}) {
    GeoRun run = RunWith(dir, geoip);
    ASSERT_EQ(run.result.status, 0) << run.result.output;
    EXPECT_NE(run.result.output.find("GeoIP database: " + geoip + "\n"), std::string::npos);
    EXPECT_EQ(run.result.errors, "");
    // Japan: the IPv6 user and the host name under .jp, one row; the ident
    // name ops.example.de keeps the domain rule though its address is in
    // the U.S.
    EXPECT_EQ(NationRows(run.report), expected) << geoip;
  }
  // The attribution names the file and what it says of itself.
  GeoRun tor = RunWith(dir, "ranges");
  EXPECT_NE(tor.report.find("<br>GeoIP database: ranges (generated Thu, 25 Jun 2026 04:33:59 "
                            "GMT, licence CC BY-SA 4.0)\n<br>reporting host: "),
            std::string::npos);
  GeoRun mmdb = RunWith(dir, kTestData + "country.mmdb");
  EXPECT_NE(mmdb.report.find("<br>GeoIP database: " + kTestData +
                             "country.mmdb (Logvane-Test-Country, built 2025-06-15, "
                             "Logvane test countries, CC BY 4.0)\n"),
            std::string::npos);
  GeoRun modern = RunWith(dir, "ranges", "STYLE=MODERN\n");
  EXPECT_NE(modern.report.find("<li>GeoIP database: ranges (generated Thu, 25 Jun 2026 "
                               "04:33:59 GMT, licence CC BY-SA 4.0)\n<li>reporting host: "),
            std::string::npos);
}

TEST(GeoipRun, AnUnusableDatabaseWarnsAndLeavesTheReportAsWithoutOne) {
  TempDir dir;
  const std::string plain = WithoutTime(RunWith(dir, "").report);
  EXPECT_NE(NationRows(plain).find("France=7\n"), std::string::npos);  // by cached name
  EXPECT_EQ(WithoutTime(RunWith(dir, "N").report), plain);
  EXPECT_EQ(WithoutTime(RunWith(dir, "n").report), plain);

  std::string mmdb = ReadFile(kTestData + "country.mmdb");
  std::string broken = mmdb;
  for (int i = 0; i < 6; ++i) broken[i] = '\xff';
  WriteFile(dir.File("broken.mmdb"), broken);
  WriteFile(dir.File("cut.mmdb"), mmdb.substr(0, mmdb.size() - 30));
  WriteFile(dir.File("empty"), "");
  WriteFile(dir.File("unsorted"), "200,300,DE\n100,150,FR\n");
  const std::pair<std::string, std::string> cases[] = {
      {"missing", "missing: cannot be opened"},
      {"empty", "empty: empty file"},
      {"unsorted", "unsorted: ranges overlap or are out of order at line 2"},
      {"broken.mmdb", "broken.mmdb: MMDB search tree is broken"},
      {"cut.mmdb", "cut.mmdb: MMDB file cannot be opened"},
  };
  for (const auto& [file, reason] : cases) {
    GeoRun run = RunWith(dir, file);
    EXPECT_EQ(run.result.status, 0) << file;
    EXPECT_NE(run.result.output.find("\n*WARNING* GeoIP database not usable: " + reason +
                                     "\n...... input file opened.\n"),
              std::string::npos)
        << run.result.output;
    EXPECT_NE(run.result.errors.find("GeoIP database not usable, nations go by top-level "
                                     "domain: " +
                                     file + ": "),
              std::string::npos)
        << run.result.errors;
    EXPECT_EQ(WithoutTime(run.report), plain) << file;
  }
  // Data that breaks only when a user is looked up: the nations fall back
  // once the log has been read. The tree of country.mmdb has 555 nodes of 6
  // bytes, then 16 zero bytes, then the data.
  std::string badData = mmdb;
  size_t marker = badData.find("\xAB\xCD\xEFMaxMind.com");
  // Every byte a pointer far outside the data.
  for (size_t i = 555 * 6 + 16; i < marker; ++i) badData[i] = '\x3f';
  WriteFile(dir.File("baddata.mmdb"), badData);
  GeoRun late = RunWith(dir, "baddata.mmdb");
  EXPECT_NE(late.result.output.find("translating names...\n\n\n*WARNING* GeoIP database not "
                                    "usable: baddata.mmdb: MMDB data is broken\n"
                                    "generating reports...\n"),
            std::string::npos)
      << late.result.output;
  EXPECT_EQ(WithoutTime(late.report), plain);

  // Without the nations section the database is never opened.
  GeoRun off = RunWith(dir, "missing", "NO_NATION\n");
  EXPECT_EQ(off.result.output.find("*WARNING*"), std::string::npos);
  EXPECT_EQ(off.result.errors, "");
}

}  // namespace
}  // namespace logvane::testing
