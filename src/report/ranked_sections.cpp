#include "report/ranked_sections.h"

#include "common/ascii_text.h"
#include "report/report_outline.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

template <typename Table>
void WriteRankedSection(const ReportInput& state, ReportWriter& out, const Table& table,
                        int32_t limit, const RankedSection& section) {
  const auto& slots = table.slots;
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;

  WriteHeading(out, labels[section.heading]);
  WriteTableStart(out);
  WriteHeaderRow(out, {labels[kRank], labels[section.keyColumn], labels[section.countColumn],
                       labels[kPercent], labels[kGraph]});
  const float total = FloatHitSum(slots, table.used);
  const float barScale = BarScale(slots[0].hits, settings.graphWidth);
  int64_t unique = RankedWalk(slots, limit, [&](const KeyCountEntry& entry, int64_t rank) {
    std::string_view key = entry.key.view();
    out.Write("<tr><td>");
    out.WriteInt(rank);
    out.Write("</td><td>");
    bool link = KeyIsLink(section, key);
    if (link) {
      WriteKeyLink(out, key);
    } else {
      WriteEscaped(out, key);
    }
    out.Write("</td><td>");
    out.WriteInt(entry.hits);
    out.Write("</td><td>");
    WritePercent(out, static_cast<double>(entry.hits), total);
    WriteGraphCell(out, settings, BarWidth(entry.hits, barScale));
  });
  WriteTableEnd(out);
  WriteTotalLine(out, labels[section.totalLabel], unique);
  WriteSectionEnd(out);
}

}  // namespace

void WriteTopPages(const ReportInput& state, ReportWriter& out) {
  WriteRankedSection(state, out, state.tallies.pages, state.settings.maxPages, kTopPagesSection);
}

void WriteTopDirectories(const ReportInput& state, ReportWriter& out) {
  WriteRankedSection(state, out, state.tallies.directories, state.settings.maxDirs,
                     kTopDirectoriesSection);
}

void WriteExtra1(const ReportInput& state, ReportWriter& out) {
  WriteRankedSection(state, out, state.tallies.extra1, state.settings.maxExtra1, kExtra1Section);
}

void WriteExtra2(const ReportInput& state, ReportWriter& out) {
  WriteRankedSection(state, out, state.tallies.extra2, state.settings.maxExtra2, kExtra2Section);
}

}  // namespace logvane
