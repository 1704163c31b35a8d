// The two report styles show the same figures: every table's cells (bars
// as their classic widths), totals, summary, navigation, headings,
// parameters, capacity note and footer are read out of the classic and the
// modern report of the same run and compared.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/markup_check.h"
#include "support/run_check.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

struct Figures {
  std::vector<std::string> navigation;  // "anchor label"
  std::vector<std::string> headings;
  std::vector<Table> tables;
  std::vector<std::string> totals;  // "label: n"
  std::string processed, firstDate, lastDate;
  std::vector<std::string> parameters;
  int backLinks = 0;
  bool capacityNote = false;
  std::string footer;
};

std::vector<std::string> AllMatches(const std::string& text, const std::string& pattern,
                                    const std::string& format = "$1") {
  std::vector<std::string> found;
  std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    found.push_back(it->format(format));
  }
  return found;
}

std::string FirstMatch(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found = AllMatches(text, pattern);
  return found.empty() ? "(none)" : found[0];
}

// A cell's text without tags and with its blanks collapsed; a bar cell is
// its width.
std::string CellText(const std::string& cell) {
  std::smatch bar;
  if (std::regex_search(cell, bar, std::regex("<(?:img|i) [^>]*(?:width=|--w:)(-?[0-9]+)"))) {
    return "bar " + bar.str(1);
  }
  std::string text;
  bool inTag = false;
  for (char c : cell) {
    if (c == '<') inTag = true;
    if (!inTag) {
      bool blank = c == ' ' || c == '\n';
      if (!blank)
        text += c;
      else if (!text.empty() && text.back() != ' ')
        text += ' ';
    }
    if (c == '>') inTag = false;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Every table, row by row, cell by cell; end tags may be left out.
std::vector<Table> Tables(const std::string& html) {
  std::vector<Table> tables;
  for (size_t at = html.find("<table"); at != std::string::npos; at = html.find("<table", at)) {
    size_t end = html.find("</table>", at);
    std::string body = html.substr(at, end - at);
    Table table;
    for (size_t row = body.find("<tr>"); row != std::string::npos;) {
      size_t next = body.find("<tr>", row + 4);
      std::string text = body.substr(row, next == std::string::npos ? next : next - row);
      std::vector<std::string> cells;
      std::regex cellStart("<t[dh]>");
      std::vector<size_t> starts;
      for (auto it = std::sregex_iterator(text.begin(), text.end(), cellStart);
           it != std::sregex_iterator(); ++it) {
        starts.push_back(static_cast<size_t>(it->position()) + 4);
      }
      for (size_t i = 0; i < starts.size(); ++i) {
        size_t stop = i + 1 < starts.size() ? starts[i + 1] - 4 : text.size();
        cells.push_back(CellText(text.substr(starts[i], stop - starts[i])));
      }
      table.push_back(cells);
      row = next;
    }
    tables.push_back(table);
    at = end;
  }
  return tables;
}

const char kNote[] = "Note: Log file had more than 50,000 users; only first 50,000 reportable.";
const char kFooter[] = "powered by the <a href=\"([^\"]*)\">Quorvel</a> (Logvane v[0-9.]+)";

Figures ClassicFigures(const std::string& html) {
  Figures f;
  f.navigation = AllMatches(html, "<a href=\"#([A-Z0-9]+)\">\\[([^\\]]*)\\]</a>", "$1 $2");
  std::erase_if(f.navigation, [](const std::string& n) { return n.starts_with("TOP "); });
  f.headings = AllMatches(html, "<h[34]>([^<]*)</h[34]>");
  f.tables = Tables(html);
  // The summary stands before the navigation line, the totals after it.
  size_t navigation = html.find("<br><font size=2>");
  std::string summary = html.substr(0, navigation);
  f.totals = AllMatches(html.substr(navigation), "<br>([^<\n]*): (-?[0-9]+) \n", "$1: $2");
  f.processed = FirstMatch(summary, "<br>[^<\n]*: (-?[0-9]+) \n</font>");
  f.firstDate = FirstMatch(summary, "<br><font size=1>[^:<]*: ([^ ]*) ");
  f.lastDate = FirstMatch(summary, "<br><font size=1>[^:<]*: [^ ]* [^:<]*: ([^\n]*)\n");
  size_t parameters = html.find("</center><hr><br>");
  if (parameters != std::string::npos) {
    std::string block = html.substr(parameters, html.find("<hr>", parameters + 12) - parameters);
    f.parameters = AllMatches(block, "<br>(\\.\\.\\.[^\n]*|Offset[^<]*|reporting host: [^<]*)");
  }
  f.backLinks = static_cast<int>(AllMatches(html, "<a href=\"#TOP\">\\[").size());
  f.capacityNote = html.find(kNote) != std::string::npos;
  f.footer = FirstMatch(html, std::string(kFooter) + "()") + AllMatches(html, kFooter, "$2").at(0);
  return f;
}

Figures ModernFigures(const std::string& html) {
  Figures f;
  std::string nav = html.substr(html.find("<nav>"), html.find("</nav>") - html.find("<nav>"));
  f.navigation = AllMatches(nav, "<a href=\"#([A-Z0-9]+)\">([^<]*)</a>", "$1 $2");
  f.headings = AllMatches(html, "(?:class=card><h2>|<h3>)([^<]*)</h[23]>");
  f.tables = Tables(html);
  f.totals = AllMatches(html, "<p class=tot>([^<]*): <b>(-?[0-9]+)</b></p>", "$1: $2");
  std::vector<std::string> figures = AllMatches(html, "<dd>([^<]*)</dd>");
  // The sixth is the distinct clients, which the classic report (with
  // DISTINCT=ON) has below Activity by Date.
  EXPECT_EQ(figures.size(), 6u);
  figures.resize(5);
  f.processed = figures[0];
  f.firstDate = figures[2];
  f.lastDate = figures[3];
  f.parameters = AllMatches(html, "<li>([^\n]*)\n");
  f.backLinks = static_cast<int>(AllMatches(html, "<a class=top href=\"#TOP\">").size());
  f.capacityNote = html.find(kNote) != std::string::npos;
  f.footer = FirstMatch(html, std::string(kFooter) + "()") + AllMatches(html, kFooter, "$2").at(0);
  // The header's users and K bytes are the sections' totals, where shown.
  for (const std::string& total : f.totals) {
    if (total.starts_with("Unique Users Found: ")) {
      EXPECT_EQ(total.substr(20), figures[1]);
    }
  }
  return f;
}

struct StyleCase {
  const char* name;
  std::string log;
  std::string params;
  std::string cache;
  size_t tables;
  size_t rows;  // in all tables, header rows included
};

void ExpectSameFigures(const std::string& classic, const std::string& modern,
                       const StyleCase& run) {
  ASSERT_FALSE(classic.empty());
  ASSERT_FALSE(modern.empty());
  EXPECT_EQ(CheckOwnMarkup(modern).problem, "");
  Figures c = ClassicFigures(classic);
  Figures m = ModernFigures(modern);
  EXPECT_EQ(c.navigation, m.navigation);
  EXPECT_EQ(c.headings, m.headings);
  ASSERT_EQ(c.tables.size(), run.tables);
  ASSERT_EQ(m.tables.size(), run.tables);
  size_t rows = 0;
  for (const Table& table : c.tables) rows += table.size();
  EXPECT_EQ(rows, run.rows);
  for (size_t t = 0; t < c.tables.size(); ++t) {
    SCOPED_TRACE("table " + std::to_string(t));
    EXPECT_EQ(c.tables[t], m.tables[t]);
  }
  EXPECT_EQ(c.totals, m.totals);
  EXPECT_EQ(c.processed, m.processed);
  EXPECT_EQ(c.firstDate, m.firstDate);
  EXPECT_EQ(c.lastDate, m.lastDate);
  EXPECT_EQ(c.parameters, m.parameters);
  EXPECT_EQ(c.backLinks, m.backLinks);
  EXPECT_EQ(c.capacityNote, m.capacityNote);
  EXPECT_EQ(c.footer, m.footer);
}

std::string Line(const std::string& client, int day, int hour, const std::string& url, int code,
                 int bytes, const std::string& extras) {
  char date[40];
  std::snprintf(date, sizeof(date), "[%02d/Dec/2026:%02d:17:05 +0000]", day, hour);
  return client + " - - " + date + " \"GET " + url + " HTTP/1.0\" " + std::to_string(code) + " " +
         std::to_string(bytes) + extras + "\n";
}

// More users, pages, directories, documents not found and extras than the
// row limits show, over sixteen days and most hours, with robots, names from
// the cache and hostile keys.
std::string BusyLog() {
  std::string log;
  for (int i = 0; i < 600; ++i) {
    std::string client = "192.0.2." + std::to_string(i % 43 * (i % 7 + 1) % 97 + 1);
    std::string url = "/d" + std::to_string(i % 17) + "/p" + std::to_string(i * 7 % 31) +
                      (i % 11 == 0 ? "<b>.html" : ".html");
    if (i % 50 == 0) url = "/robots.txt";
    int code = i % 9 == 0 ? 404 : i % 13 == 0 ? 206 : i % 5 == 0 ? 304 : 200;
    std::string extras = " \"http://ref" + std::to_string(i % 29) + ".example/\" \"Agent " +
                         std::to_string(i % 23) + (i % 3 ? "" : " & \"co\"") + "\"";
    log += Line(client, 1 + i % 16, (i * 5) % 24, url, code, 100 + i * 37 % 9000, extras);
  }
  return log;
}

TEST(ReportStyles, BothStylesShowTheSameNumbers) {
  std::string names;
  for (int i = 1; i <= 97; i += 3) {
    names += "192.0.2." + std::to_string(i) + ",host" + std::to_string(i) +
             (i % 2 ? ".example.com\n" : ".example.de\n");
  }
  std::string proxyLog;
  for (int i = 0; i < 40; ++i) {
    proxyLog += Line("10.0.0." + std::to_string(i % 12 + 1), 3, i % 24,
                     "http://www.site" + std::to_string(i % 9) + ".example/x", 200, 500 + i, "");
  }
  const StyleCase cases[] = {
      {"empty log", "", "", "", 9, 9},
      {"all sections off",
       Line("10.0.0.1", 2, 3, "/a.html", 200, 10, "") + Line("10.0.0.2", 3, 4, "/b", 404, 1, ""),
       "NO_USER\nNO_DATE\nNO_DAY\nNO_HOUR\nNO_PAGE\nNO_DIR\nNO_NATION\nNO_CODE\n", "", 0, 0},
      {"full tables", BusyLog(),
       "MAXUSERS=12\nMAXPAGES=15\nMAXDIRS=6\nMAXNOTFOUND=5\nMAXNATIONS=10\nMAXEXTRA1=7\n"
       "MAXEXTRA2=8\nROBOTS=RPT\nHOFFSET=-5\nADJWIDTH=-150\nEXCLUDE_ADDR=192.0.2.96\n"
       "EXCLUDE_TYPE=.gif\nEXCLUDE_TYPE=.png\ntext5=Visitors & Co\n",
       names, 11, 118},
      {"proxy labels", proxyLog, "PROXY=ON\n", "", 9, 59},
      {"no parameters", BusyLog(), "NOSHOW\nMAXUSERS=9999\nMAXPAGES=9999\n", names, 11, 751},
  };
  for (const StyleCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reports[2];
    for (int modern = 0; modern < 2; ++modern) {
      TempDir dir;
      if (!c.cache.empty()) WriteFile(dir.File("lvipname.dat"), c.cache);
      LogRun run = RunOnLog(dir, c.log, c.cache.empty() ? 'N' : 'X',
                            c.params + (modern ? "STYLE=MODERN\n" : "DISTINCT=ON\n"));
      EXPECT_EQ(run.result.status, 0);
      reports[modern] = run.report;
    }
    ExpectSameFigures(reports[0], reports[1], c);
  }
}

TEST(ReportStyles, AnyOtherStyleLeavesTheClassicReportAsItIs) {
  std::string reports[2];
  const char* styles[] = {"", "STYLE=classic\nSTYLE=MODERN!\n"};
  for (int i = 0; i < 2; ++i) {
    TempDir dir;
    reports[i] = MaskTimes(RunOnLog(dir, BusyLog(), 'N', styles[i]).report);
  }
  EXPECT_EQ(reports[0], reports[1]);
  EXPECT_TRUE(reports[0].starts_with("<html><head>\n"));
}

}  // namespace
}  // namespace logvane::testing
