#include "report/top_users.h"

#include <gtest/gtest.h>

#include <string>

#include "support/report_fixture.h"

namespace logvane {
namespace {

using testing::AddUser;
using testing::Classic;
using testing::Render;
using testing::ReportState;

std::string Cell(std::string_view linkTemplate, std::string_view key) {
  std::string text;
  ReportWriter out(&text);
  WriteUserCell(out, linkTemplate, key);
  (void)out.Close();
  return text;
}

std::string Whois(const std::string& domain, const std::string& key) {
  return "<a href=\"https://www.internic.net/cgi-bin/whois?" + domain + "\">" + key + "</a>\n";
}

TEST(TopUsersTest, WhoisLinkForListedTopLevelLabels) {
  const struct {
    const char* key;
    std::string cell;
  } cases[] = {
      {"10.1.2.3", "10.1.2.3"},  // ends in a digit
      {"www.example.com", Whois("example.com", "www.example.com")},
      {"a.b.Example.COM", Whois("Example.COM", "a.b.Example.COM")},
      {"host.state.us", Whois("state.us", "host.state.us")},
      {"host.state.US", Whois("state.US", "host.state.US")},
      {"host.isp.network", Whois("isp.network", "host.isp.network")},  // first three: net
      {"host.isp.usa", "host.isp.usa"},
      {"host.isp.co.uk", "host.isp.co.uk"},
      {"example.com", "example.com"},  // two labels only
      {"a..com", "a..com"},            // empty second label
      {".x.com", Whois("x.com", ".x.com")},
      {"x.oot", "x.oot"},
      {"www.x.oot", Whois("x.oot", "www.x.oot")},
      {"localhost", "localhost"},
      {"host.", "host."},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Cell("", c.key), c.cell) << c.key;
}

TEST(TopUsersTest, TemplateLinkReplacesTheFirstPlaceholder) {
  const struct {
    const char* linkTemplate;
    const char* key;
    const char* cell;
  } cases[] = {
      {"<a href=\"/who?u={user}\">", "www.x.com", "<a href=\"/who?u=www.x.com\">www.x.com</a>\n"},
      {"<a href=\"/{USER}\">", "Bob", "<a href=\"/Bob\">Bob</a>\n"},
      {"<a href=\"/{USER}/{user}/{user}\">", "b", "<a href=\"/{USER}/b/{user}\">b</a>\n"},
      {"<a href=\"/{USER}/{USER}\">", "b", "<a href=\"/b/{USER}\">b</a>\n"},
      {"<a href=\"/fixed\">", "10.1.2.3", "<a href=\"/fixed\">10.1.2.3</a>\n"},
      {"<a href=\"/{User}\">", "b", "<a href=\"/{User}\">b</a>\n"},
      // The user is escaped; a script address is never put into the link.
      {"<a href=\"{user}\">", "a\"b<c>", "<a href=\"a&quot;b&lt;c&gt;\">a&quot;b&lt;c&gt;</a>\n"},
      {"<a href=\"{user}\">", "JavaScript:alert(1)", "JavaScript:alert(1)"},
      // Quotes of either kind cannot end the template's attribute.
      {"<a href='/w?{user}'>", "x'onclick='y",
       "<a href='/w?x&#39;onclick=&#39;y'>x&#39;onclick=&#39;y</a>\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Cell(c.linkTemplate, c.key), c.cell) << c.linkTemplate << " " << c.key;
  }
}

TEST(TopUsersTest, RowLimitSpiderMarkAndTotals) {
  std::unique_ptr<ReportInput> state = ReportState();
  state->settings.maxUsers = 20;
  AddUser(state->tallies.users, "www.spider.com", 100, 700, true);
  for (int i = 0; i < 24; ++i) {
    AddUser(state->tallies.users, "10.0.0." + std::to_string(i), 50 - i, 1000.0 * i);
  }
  state->counters.pagesRequested = 77;
  std::string section = Render(*state, Classic(TopUserRows));

  EXPECT_TRUE(section.starts_with(
      "<hr><h3>Top Users</h3>\n<table border=5>\n "
      "<tr><th>Rank</th><th>User</th><th>Hits</th><th>K bytes</th><th>Graph</th></tr>"
      "<tr><td>1</td><td>" +
      Whois("spider.com", "www.spider.com") +
      " (spider)</td><td>100</td><td>1</td>"
      "<td><img src=\"/hstb.gif\" width=400 height=20></td></tr>\n"
      "<tr><td>2</td><td>10.0.0.0</td><td>50</td><td>0</td>"
      "<td><img src=\"/hstb.gif\" width=200 height=20></td></tr>\n"));
  EXPECT_NE(section.find("<tr><td>20</td><td>10.0.0.18</td><td>32</td><td>18</td>"),
            std::string::npos);
  EXPECT_EQ(section.find("<tr><td>21</td>"), std::string::npos);
  EXPECT_TRUE(section.ends_with(
      "</table>\n<br>Unique Users Found: 25 \n<br>Total Pages Requested: 77 \n<br>\n"));
}

}  // namespace
}  // namespace logvane
