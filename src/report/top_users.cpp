#include "report/top_users.h"

#include "common/ascii_text.h"
#include "names/nations.h"
#include "report/fixed_captions.h"
#include "report/summary_note.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

// The key's last two labels when its top-level label is one of the U.S.A.
// group, whose hosts get a WHOIS link; empty when the key gets none.
std::string_view WhoisDomain(std::string_view key) {
  size_t lastDot = key.rfind('.');
  if (lastDot == std::string_view::npos) return {};
  std::string_view top = key.substr(lastDot + 1, 3);
  if (!IsUsaCode(top)) return {};
  // The dot before the last one is looked for from two characters before
  // the last dot, so an empty second label ("a..com") finds none.
  if (lastDot < 2) return {};
  size_t previousDot = key.rfind('.', lastDot - 2);
  if (previousDot == std::string_view::npos) return {};
  return key.substr(previousDot + 1);
}

}  // namespace

void LinkUser(const LinkTemplate& userLink, std::string_view key, TableRow& row) {
  row.link = LinkTo::kNone;
  row.linkText = {};
  if (userLink.IsSet()) {
    // A key that reads as a script address would run wherever the template
    // puts it, so such a user is written as text alone.
    if (userLink.placeholder && IsScriptAddress(key)) return;
    row.link = LinkTo::kTemplate;
    if (userLink.placeholder) row.linkText = key;
    return;
  }
  std::string_view domain = WhoisDomain(key);
  if (domain.empty()) return;
  row.link = LinkTo::kWhois;
  row.linkText = domain;
}

void WriteUserCell(ReportWriter& out, std::string_view userLinkTemplate, std::string_view key,
                   KeyText form) {
  SectionTable table;
  table.userLink = SplitLinkTemplate(userLinkTemplate);
  TableRow row;
  row.key = key;
  LinkUser(table.userLink, key, row);
  WriteKeyCell(out, table, row, form);
}

SectionRows TopUserRows(const ReportInput& state) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const UserTable& users = state.tallies.users;

  SectionRows section{labels[kTopUsers], {SectionTable{}}};
  SectionTable& table = section.tables[0];
  table.SetColumns({{Column::kRank, labels[kRank]},
                    {Column::kKey, labels[kUser]},
                    {Column::kHits, labels[kHits]},
                    {Column::kKBytes, labels[kKBytes]},
                    {Column::kGraph, labels[kGraph]}});
  table.userLink = SplitLinkTemplate(settings.userLinkTemplate);
  table.barScale = BarScale(users.slots[0].hits, settings.graphWidth);
  table.ReserveRows(users.used, settings.maxUsers);
  int64_t unique =
      RankedWalk(users.slots, settings.maxUsers, [&](const UserEntry& user, int64_t rank) {
        TableRow& row = table.AddRow(user.key.view(), user.hits);
        row.rank = rank;
        LinkUser(table.userLink, row.key, row);
        if (user.isRobot == 1) row.note = kSpiderNote;
        row.kiloBytes = user.byteSum * 0.001;
      });
  table.totals.push_back({labels[kUniqueUsers], std::to_string(unique)});
  table.totals.push_back(
      {labels[kTotalPagesRequested], std::to_string(state.counters.pagesRequested)});
  AddSummaryNote(labels, users, table, users.summary.evictions != 0);
  return section;
}

}  // namespace logvane
