// Filling the report's tables directly, in the order the sorting phase
// leaves them, and rendering report pieces into a string.
#ifndef LOGVANE_TESTS_SUPPORT_REPORT_FIXTURE_H_
#define LOGVANE_TESTS_SUPPORT_REPORT_FIXTURE_H_

#include <string>
#include <string_view>

#include <memory>
#include <utility>

#include "names/nations.h"
#include "report/classic_section.h"
#include "report/modern_sections.h"
#include "report/report_input.h"
#include "report/report_outline.h"
#include "report/report_writer.h"
#include "tally/weekdays.h"

namespace logvane::testing {

// The tables are large fixed arrays: the record lives on the heap, zeroed.
inline std::unique_ptr<ReportInput> ReportState() {
  auto state = std::make_unique<ReportInput>();
  state->settings.hostName = "testhost";
  return state;
}

// Appends a user in the next slot (add them in descending hits).
inline void AddUser(UserTable& users, std::string_view key, int64_t hits, double bytes = 0,
                    bool robot = false) {
  UserEntry& entry = users.slots[users.used++];
  entry.key.assign(key);
  entry.hits = hits;
  entry.byteSum = bytes;
  entry.isRobot = robot ? 1 : 0;
}

// Puts a day or an hour in slot `slot`; the sorted time tables hold their
// empty slots first.
inline void SetDate(DateTable& dates, size_t slot, std::string_view key, int64_t hits,
                    double bytes = 0) {
  DateEntry& entry = dates.slots[slot];
  entry.key.assign(key);
  entry.dateNumber = DateNumberOf(key);
  entry.hits = hits;
  entry.byteSum = bytes;
}

inline void SetHour(HourTable& hours, size_t slot, int hour, int64_t hits, double bytes = 0) {
  HourEntry& entry = hours.slots[slot];
  entry.key.assign(std::to_string(hour));
  entry.hourNumber = hour;
  entry.hits = hits;
  entry.byteSum = bytes;
}

// Appends a key in the next slot (add them in descending hits).
template <typename Table>
void AddKey(Table& table, std::string_view key, int64_t hits) {
  KeyCountEntry& entry = table.slots[table.used++];
  entry.key.assign(key);
  entry.hits = hits;
}

// Derives the totals from the tables as the run does before its report.
inline void DeriveTotals(Tallies& tallies) {
  AverageWeekdays(tallies.dates, tallies.weekdays);
  TallyNations(tallies.users, tallies.nations);
}

// What `write(state, out)` writes once the totals are derived.
template <typename Writer>
std::string Render(ReportInput& state, Writer&& write) {
  DeriveTotals(state.tallies);
  std::string text;
  ReportWriter out(&text);
  write(std::as_const(state), out);
  (void)out.Close();
  return text;
}

// A section writer for Render: the rows of `rows` in the classic layout, or
// the modern card of the section behind `anchor`.
inline auto Classic(SectionRows (*rows)(const ReportInput&)) {
  return [rows](const ReportInput& state, ReportWriter& out) {
    WriteClassicTables(rows(state), state.settings, out);
  };
}
inline auto Modern(std::string_view anchor) {
  return [anchor](const ReportInput& state, ReportWriter& out) {
    for (const ReportSection& section : kReportSections) {
      if (section.anchor == anchor) WriteModernSection(state, section, out);
    }
  };
}

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_REPORT_FIXTURE_H_
