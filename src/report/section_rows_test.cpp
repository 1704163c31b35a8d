#include "report/section_rows.h"

#include <gtest/gtest.h>

#include <string>

#include "report/ranked_sections.h"
#include "report/report_outline.h"
#include "report/top_users.h"
#include "support/report_fixture.h"

namespace logvane {
namespace {

using testing::AddKey;
using testing::AddUser;
using testing::ReportState;

// The rows both styles render: links decided, notes set, figures computed.
TEST(SectionRowsTest, LinksAreDecidedWithTheRows) {
  struct Case {
    std::string linkTemplate;
    std::string key;
    LinkTo link;
    std::string linkText;
  };
  const Case cases[] = {
      {"", "www.example.com", LinkTo::kWhois, "example.com"},
      {"", "10.1.2.3", LinkTo::kNone, ""},
      {"<a href='/w?{user}'>", "a.b'c", LinkTo::kTemplate, "a.b'c"},
      {"<a href=/fixed>", "x", LinkTo::kTemplate, ""},  // no placeholder: nothing put in
      {"<a href='{USER}'>", " javascript:x", LinkTo::kNone, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.linkTemplate + " " + c.key);
    std::unique_ptr<ReportInput> state = ReportState();
    state->settings.userLinkTemplate = c.linkTemplate;
    AddUser(state->tallies.users, c.key, 8, 2500, true);
    AddUser(state->tallies.users, "b", 2);
    SectionRows rows = TopUserRows(*state);
    ASSERT_EQ(rows.tables.size(), 1u);
    const TableRow& row = rows.tables[0].rows.at(0);
    EXPECT_EQ(row.link, c.link);
    EXPECT_EQ(row.linkText, c.linkText);
    EXPECT_EQ(row.note, " (spider)");
    EXPECT_EQ(row.rank, 1);
    EXPECT_DOUBLE_EQ(row.kiloBytes, 2.5);
    EXPECT_EQ(row.barWidth, 400);
    EXPECT_EQ(rows.tables[0].rows.at(1).barWidth, 100);
    EXPECT_EQ(rows.tables[0].rows.at(1).note, "");
  }

  std::unique_ptr<ReportInput> state = ReportState();
  for (const char* key : {"http://a/", "/p", "JavaScript:x", "HTTP://b/"}) {
    AddKey(state->tallies.extra2, key, 1);
  }
  SectionRows extra2 = Extra2Rows(*state);
  const LinkTo links[] = {LinkTo::kKey, LinkTo::kNone, LinkTo::kNone, LinkTo::kKey};
  ASSERT_EQ(extra2.tables[0].rows.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(extra2.tables[0].rows[i].link, links[i]) << i;
    EXPECT_DOUBLE_EQ(extra2.tables[0].rows[i].percent, 25.0);
  }
  EXPECT_EQ(extra2.tables[0].totals.at(0).value, "4");
}

TEST(SectionRowsTest, ParameterLinesInOrder) {
  std::unique_ptr<ReportInput> state = ReportState();
  state->settings.excludedAddresses = {"10.", "192.0.2."};
  state->settings.excludedTypes = {".gif"};
  state->settings.hourOffset = -3;
  state->nationSource = "Lite <db>";
  std::string lines;
  for (const ParameterLine& line : ParameterLines(*state)) {
    lines += std::string(line.caption) + line.value + std::string(line.tail) +
             (line.fromParameterFile ? " [file]" : "") + (line.lineEnd ? " [end]" : "") + "|";
  }
  EXPECT_EQ(lines,
            "...excluded address: 10. [file] [end]|...excluded address: 192.0.2. [file] [end]|"
            "...excluded type: .gif from top page report. [file] [end]|"
            "Offset for hourly activity report: -3|GeoIP database: Lite <db> [end]|"
            "reporting host: testhost|");
}

}  // namespace
}  // namespace logvane
