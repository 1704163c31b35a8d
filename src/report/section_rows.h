// The rows of a report section, computed once from the tallies: what each
// cell holds, which key links where, the totals below each table. The
// classic and the modern style only render them (classic_section.h,
// modern_sections.h), so both show the same figures by construction.
#ifndef LOGVANE_REPORT_SECTION_ROWS_H_
#define LOGVANE_REPORT_SECTION_ROWS_H_

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/html_text.h"
#include "report/report_writer.h"

namespace logvane {

// What a column shows of each row.
enum class Column {
  kRank,
  kCode,  // the response code
  kKey,   // the key, its link and its note
  kHits,  // the count (for the weekdays, the average day's)
  kKBytes,
  kAverageKBytes,  // the same figure; the classic style writes a blank after it
  kPercent,
  kBytePercent,  // the share of the bytes
  kText1,        // further texts of the row from outside (a crawler's class and
  kText2,        // operator): escaped
  kVisitors,     // distinct visitors (Activity by Date, with distinct counts)
  // Response times, written with their unit (TableRow::times).
  kTime50,
  kTime90,
  kTime95,
  kTime99,
  kTimeLongest,
  kTimeMean,
  kGraph,  // the bar; always the last column
};

// The response-time columns, in TableRow::times order.
inline constexpr Column kTimeColumns[] = {Column::kTime50, Column::kTime90,      Column::kTime95,
                                          Column::kTime99, Column::kTimeLongest, Column::kTimeMean};
inline constexpr size_t kTimeFigures = 6;

// Where a table's keys come from, which decides how they are written.
enum class KeyOrigin {
  kOwnText,  // labels and nation names: ours or the operator's, as they stand
  kTimeKey,  // dates and hours from the log: escaped, never broken
  kLogKey,   // from the log, the cache or a resolver: escaped; the modern
             // style lets them wrap at their separators
};

// The public WHOIS query service; "/cgi-bin/whois?" and a domain follow it.
inline constexpr std::string_view kWhoisServiceBase = "https://www.internic.net";

// Where a key cell links to.
enum class LinkTo {
  kNone,
  kKey,       // the key itself: "<a href=\"KEY\">"
  kWhois,     // the WHOIS query for `linkText`, the key's domain
  kTemplate,  // the table's user link template, `linkText` in its placeholder
};

struct TableRow {
  int64_t rank = 0;
  int32_t code = 0;
  std::string_view key;
  LinkTo link = LinkTo::kNone;
  std::string_view linkText;  // the outside text the link's address holds
  std::string_view note;      // written after the key cell, as " (spider)"
  int64_t hits = 0;
  double kiloBytes = 0;  // thousands of bytes
  double percent = 0;    // the share, times 100
  int64_t barWidth = 0;
  double bytePercent = 0;     // the share of the bytes, times 100 (kBytePercent)
  std::string_view texts[2];  // kText1, kText2
  int64_t visitors = 0;
  // In a table that evicted keys: the row's hits less its overcount are at
  // least the next row's, so no key can stand between them.
  bool rankGuaranteed = false;
  // Response times in microseconds, by kTimeColumns; a figure marked in
  // `atMost` is only known as an upper bound (written "<= ...").
  double times[kTimeFigures] = {};
  uint8_t atMost = 0;  // bit i for times[i]
};

// A time in microseconds as the report writes it: three significant
// digits in milliseconds, or in seconds from 1 s on ("0.850 ms", "12.3 ms",
// "1.25 s").
std::string FormatDuration(double micros);

struct TotalLine {
  std::string_view label;
  std::string value;  // formatted
};

// A ULOOKUP template split at its first "{user}" (else "{USER}"): the key
// goes between `before` and `after`. Without a placeholder the whole
// template is `before` and the key is not put in.
struct LinkTemplate {
  std::string_view before;
  std::string_view after;
  bool placeholder = false;
  bool IsSet() const { return placeholder || !before.empty(); }
};
LinkTemplate SplitLinkTemplate(std::string_view linkTemplate);

struct SectionTable {
  std::string_view caption;  // heading of a table after the section's first
  std::vector<Column> columns;
  std::vector<std::string_view> headers;  // one per column
  KeyOrigin keys = KeyOrigin::kLogKey;
  std::vector<TableRow> rows;
  std::vector<TotalLine> totals;
  float barScale = 0;  // of the rows' bars (BarScale)
  LinkTemplate userLink;
  // A table that evicted keys: the note with its bound, written below the
  // totals, and the label the modern style's rank marks stand for.
  std::string boundNote;
  std::string_view rankMark;

  void SetColumns(std::initializer_list<std::pair<Column, std::string_view>> heads);
  // Room for the rows a walk writes: those in use, up to the row limit.
  void ReserveRows(size_t inUse, int64_t limit) {
    rows.reserve(limit <= 0 ? 0 : std::min(inUse, static_cast<size_t>(limit)));
  }
  // Appends the row of `key` with `hits`, its bar drawn to barScale.
  TableRow& AddRow(std::string_view key, int64_t hits);
  bool HasGraph() const { return !columns.empty() && columns.back() == Column::kGraph; }
};

struct SectionRows {
  std::string_view heading;
  std::vector<SectionTable> tables;  // one, or the code and not-found tables
};

// The text of one cell of `row` in `column` (not the graph), as both styles
// write it; `logKeys` is how the style writes a key of KeyOrigin::kLogKey.
void WriteCellText(ReportWriter& out, const SectionTable& table, const TableRow& row, Column column,
                   KeyText logKeys);

// How a style lays out a row: "<tr><td>", the cells with `separator`
// between them, and `end` after the last; a graph column is drawn by the
// style's bar writer, which ends the row.
struct RowLayout {
  std::string_view separator;
  std::string_view end;
  std::string_view afterAverageKBytes;
  KeyText logKeys;
  std::string_view guaranteedMark = {};  // after the rank of a guaranteed row
};
template <typename Bar>
void WriteRows(ReportWriter& out, const SectionTable& table, const RowLayout& layout, Bar&& bar) {
  for (const TableRow& row : table.rows) {
    out.Write("<tr><td>");
    bool ended = false;
    for (size_t c = 0; c < table.columns.size() && !ended; ++c) {
      const Column column = table.columns[c];
      if (column == Column::kGraph) {
        bar(row);
        ended = true;
        continue;
      }
      if (c > 0) out.Write(layout.separator);
      WriteCellText(out, table, row, column, layout.logKeys);
      if (column == Column::kAverageKBytes) out.Write(layout.afterAverageKBytes);
      if (column == Column::kRank && row.rankGuaranteed) out.Write(layout.guaranteedMark);
    }
    if (!ended) out.Write(layout.end);
  }
}

// The key cell alone: the key, linked as the row says, then its note.
void WriteKeyCell(ReportWriter& out, const SectionTable& table, const TableRow& row,
                  KeyText logKeys);

}  // namespace logvane

#endif  // LOGVANE_REPORT_SECTION_ROWS_H_
