#include "report/response_codes.h"

#include "report/table_pattern.h"

namespace logvane {

namespace {

void WriteCodeTable(const ReportInput& state, ReportWriter& out) {
  const ReportLabels& labels = state.labels;
  const ResponseCodeCounters& codes = state.tallies.codes;

  out.Write("<hr>\n");
  out.Write("<h4>");
  out.Write(labels[kResponseCodeTitle]);
  out.Write("</h4>\n");
  WriteTableStart(out);
  WriteHeaderRow(out, {labels[kCode], labels[kDescription], labels[kHits], labels[kPercent]});
  float total = 0;
  for (int64_t count : codes.counts) total += static_cast<float>(count);
  for (size_t i = 0; i < kResponseCounterCount; ++i) {
    const int64_t count = codes.counts[i];
    if (count <= 0) continue;
    // Counter 0 gathers every code without a counter of its own.
    out.Write("<tr><td>");
    out.WriteInt(CodeOfCounter(i));
    out.Write("</td><td>");
    out.Write(labels[kUnknownCode + static_cast<int>(i)]);
    out.Write("</td><td>");
    out.WriteInt(count);
    out.Write("</td><td>");
    WritePercent(out, static_cast<double>(count), total);
    out.Write("</td></tr>\n");
  }
  WriteTableEnd(out);
}

void WriteNotFoundTable(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const NotFoundTable& notFound = state.tallies.notFound;

  out.Write("<h4>");
  out.Write(labels[kTopNotFound]);
  out.Write("</h4>\n");
  WriteTableStart(out);
  WriteHeaderRow(
      out, {labels[kRank], labels[kDirectory], labels[kHits], labels[kPercent], labels[kGraph]});
  // Shares of all 404 answers: routing raises this counter with the table.
  const int64_t answers404 = ResponseCount(state.tallies.codes, 404);
  const float barScale = BarScale(notFound.slots[0].hits, settings.graphWidth);
  RankedWalk(notFound.slots, settings.maxNotFound, [&](const KeyCountEntry& entry, int64_t rank) {
    out.Write("<tr><td>");
    out.WriteInt(rank);
    out.Write("</td><td>");
    WriteEscaped(out, entry.key.view());
    out.Write("</td><td>");
    out.WriteInt(entry.hits);
    out.Write("</td><td>");
    WritePercent(out, static_cast<double>(entry.hits), static_cast<double>(answers404));
    WriteGraphCell(out, settings, BarWidth(entry.hits, barScale));
  });
  WriteTableEnd(out);
  WriteSectionEnd(out);
}

}  // namespace

void WriteResponseCodes(const ReportInput& state, ReportWriter& out) {
  WriteCodeTable(state, out);
  WriteNotFoundTable(state, out);
}

}  // namespace logvane
