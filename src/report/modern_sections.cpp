#include "report/modern_sections.h"

#include "common/ascii_text.h"
#include "report/modern_table.h"
#include "report/report_outline.h"
#include "report/table_pattern.h"
#include "report/top_users.h"

namespace logvane {

namespace {

// Top Pages, Top Directories and the Extra sections: rank, key, count, the
// share of all the table's hits, bar.
template <size_t N>
void WriteRanked(const ReportInput& state, ReportWriter& out, const KeyCountEntry (&slots)[N],
                 int32_t limit, const RankedSection& section) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  WriteModernTableStart(out, KeyColumn::kSecond, true,
                        {labels[kRank], labels[section.keyColumn], labels[section.countColumn],
                         labels[kPercent], labels[kGraph]});
  const float total = FloatHitSum(slots);
  const float barScale = BarScale(slots[0].hits, settings.graphWidth);
  int64_t unique = RankedWalk(slots, limit, [&](const KeyCountEntry& entry, int64_t rank) {
    std::string_view key = entry.key.view();
    out.Write("<tr><td>");
    out.WriteInt(rank);
    NextCell(out);
    bool link = KeyIsLink(section, key);
    if (link) {
      WriteKeyLink(out, key, KeyText::kBreakable);
    } else {
      WriteKeyText(out, key, KeyText::kBreakable);
    }
    NextCell(out);
    out.WriteInt(entry.hits);
    NextCell(out);
    WritePercent(out, static_cast<double>(entry.hits), total);
    WriteBarCell(out, BarWidth(entry.hits, barScale), entry.hits);
  });
  WriteModernTableEnd(out);
  WriteModernTotal(out, labels[section.totalLabel], unique);
}

void WriteRankedCard(const ReportInput& state, ReportWriter& out, std::string_view id,
                     const auto& slots, int32_t limit, const RankedSection& section) {
  WriteCardStart(out, id, state.labels[section.heading]);
  WriteRanked(state, out, slots, limit, section);
}

void WriteCodeTable(const ReportInput& state, ReportWriter& out) {
  const ReportLabels& labels = state.labels;
  const ResponseCodeCounters& codes = state.tallies.codes;
  WriteModernTableStart(out, KeyColumn::kSecond, false,
                        {labels[kCode], labels[kDescription], labels[kHits], labels[kPercent]});
  float total = 0;
  for (int64_t count : codes.counts) total += static_cast<float>(count);
  for (size_t i = 0; i < kResponseCounterCount; ++i) {
    const int64_t count = codes.counts[i];
    if (count <= 0) continue;
    out.Write("<tr><td>");
    out.WriteInt(CodeOfCounter(i));
    NextCell(out);
    out.Write(labels[kUnknownCode + static_cast<int>(i)]);
    NextCell(out);
    out.WriteInt(count);
    NextCell(out);
    WritePercent(out, static_cast<double>(count), total);
    out.Write("\n");
  }
  WriteModernTableEnd(out);
}

void WriteNotFoundTable(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const NotFoundTable& notFound = state.tallies.notFound;
  out.Write("<h3>");
  out.Write(labels[kTopNotFound]);
  out.Write("</h3>\n");
  WriteModernTableStart(
      out, KeyColumn::kSecond, true,
      {labels[kRank], labels[kDirectory], labels[kHits], labels[kPercent], labels[kGraph]});
  const int64_t answers404 = ResponseCount(state.tallies.codes, 404);
  const float barScale = BarScale(notFound.slots[0].hits, settings.graphWidth);
  RankedWalk(notFound.slots, settings.maxNotFound, [&](const KeyCountEntry& entry, int64_t rank) {
    out.Write("<tr><td>");
    out.WriteInt(rank);
    NextCell(out);
    WriteKeyText(out, entry.key.view(), KeyText::kBreakable);
    NextCell(out);
    out.WriteInt(entry.hits);
    NextCell(out);
    WritePercent(out, static_cast<double>(entry.hits), static_cast<double>(answers404));
    WriteBarCell(out, BarWidth(entry.hits, barScale), entry.hits);
  });
  WriteModernTableEnd(out);
}

}  // namespace

void WriteModernTopUsers(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const UserTable& users = state.tallies.users;
  WriteCardStart(out, "TU", labels[kTopUsers]);
  WriteModernTableStart(
      out, KeyColumn::kSecond, true,
      {labels[kRank], labels[kUser], labels[kHits], labels[kKBytes], labels[kGraph]});
  const float barScale = BarScale(users.slots[0].hits, settings.graphWidth);
  int64_t unique =
      RankedWalk(users.slots, settings.maxUsers, [&](const UserEntry& user, int64_t rank) {
        out.Write("<tr><td>");
        out.WriteInt(rank);
        NextCell(out);
        WriteUserCell(out, settings.userLinkTemplate, user.key.view(), KeyText::kBreakable);
        if (user.isRobot == 1) out.Write(" (spider)");
        NextCell(out);
        out.WriteInt(user.hits);
        NextCell(out);
        WriteKBytes(out, user.byteSum);
        WriteBarCell(out, BarWidth(user.hits, barScale), user.hits);
      });
  WriteModernTableEnd(out);
  WriteModernTotal(out, labels[kUniqueUsers], unique);
  WriteModernTotal(out, labels[kTotalPagesRequested], state.counters.pagesRequested);
}

void WriteModernTopPages(const ReportInput& state, ReportWriter& out) {
  WriteRankedCard(state, out, "TP", state.tallies.pages.slots, state.settings.maxPages,
                  kTopPagesSection);
}

void WriteModernTopDirectories(const ReportInput& state, ReportWriter& out) {
  WriteRankedCard(state, out, "TD", state.tallies.directories.slots, state.settings.maxDirs,
                  kTopDirectoriesSection);
}

void WriteModernExtra1(const ReportInput& state, ReportWriter& out) {
  WriteRankedCard(state, out, "TE1", state.tallies.extra1.slots, state.settings.maxExtra1,
                  kExtra1Section);
}

void WriteModernExtra2(const ReportInput& state, ReportWriter& out) {
  WriteRankedCard(state, out, "TE2", state.tallies.extra2.slots, state.settings.maxExtra2,
                  kExtra2Section);
}

void WriteModernTopNations(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const NationTally& nations = state.tallies.nations;
  WriteCardStart(out, "TN", labels[kTopNations]);
  WriteModernTableStart(
      out, KeyColumn::kSecond, true,
      {labels[kRank], labels[kNation], labels[kHits], labels[kPercent], labels[kGraph]});
  const float barScale = BarScale(nations.entries[0].hits, settings.graphWidth);
  int64_t unique = RankedWalk(
      nations.entries, settings.maxNations, [&](const NationEntry& nation, int64_t rank) {
        out.Write("<tr><td>");
        out.WriteInt(rank);
        NextCell(out);
        out.Write(nation.name.view());  // our own fixed texts
        NextCell(out);
        out.WriteInt(nation.hits);
        NextCell(out);
        WritePercent(out, static_cast<double>(nation.hits), static_cast<double>(nations.total));
        WriteBarCell(out, BarWidth(nation.hits, barScale), nation.hits);
      });
  WriteModernTableEnd(out);
  WriteModernTotal(out, labels[kTotalUniqueNations], unique);
}

void WriteModernResponseCodes(const ReportInput& state, ReportWriter& out) {
  WriteCardStart(out, "BC", state.labels[kResponseCodeTitle]);
  WriteCodeTable(state, out);
  WriteNotFoundTable(state, out);
}

}  // namespace logvane
