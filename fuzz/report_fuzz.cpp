// Hostile keys in every table: both report styles must hold only their own markup,
// whatever bytes the users, pages, directories, documents, extras and dates
// carry.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "driver/run_state.h"
#include "names/report_totals.h"
#include "platform/fault_env.h"
#include "report/modern_report.h"
#include "report/report_writer.h"
#include "report/write_report.h"
#include "support/markup_check.h"
#include "tally/sort_tallies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  static RunStatePtr state = NewRunState();
  static FaultEnv platform;  // its clock text is fixed
  state->settings = RunSettings();
  state->counters = RunCounters();
  ClearTallies(state->tallies);
  std::string console;
  Console out(&console);

  // Keys are the input's lines; each feeds the table its position selects.
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Tallies& t = state->tallies;
  size_t line = 0;
  while (!input.empty()) {
    size_t end = input.find('\n');
    std::string_view key = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    switch (line++ % 8) {
      case 0: CountText(t.users, key, static_cast<int64_t>(key.size()) * 1000); break;
      case 1: CountText(t.pages, key); break;
      case 2: CountText(t.directories, key); break;
      case 3:
        CountText(t.notFound, key);
        CountResponseCode(t.codes, 404);
        break;
      case 4:
        CountText(t.extra1, key);
        state->counters.hasExtra1 = true;
        break;
      case 5:
        CountText(t.extra2, key);
        state->counters.hasExtra2 = true;
        break;
      case 6: CountText(t.dates, key, static_cast<int64_t>(key.size())); break;
      case 7: CountText(t.hours, key.substr(0, 2), 1); break;
    }
  }
  // The operator's template may quote its address either way.
  if (line % 3 == 0) {
    state->settings.userLinkTemplate = "<a href=\"http://example.org/who?{user}\">";
  } else if (line % 3 == 1) {
    state->settings.userLinkTemplate = "<a href='http://example.org/who?{user}'>";
  }
  SortTallies(state->settings, state->counters, state->tallies, out);

  (void)DeriveReportTotals(state->settings, state->tallies);
  for (bool modern : {false, true}) {
    std::string html;
    ReportWriter writer(&html);
    if (modern) {
      WriteModernReport(*state, writer, platform);
    } else {
      WriteReport(*state, writer, platform);
    }
    (void)writer.Close();
    testing::MarkupFinding finding = testing::CheckOwnMarkup(html);
    if (!finding.problem.empty()) {
      std::fprintf(stderr, "foreign markup (%s): %s\n", modern ? "modern" : "classic",
                   finding.problem.c_str());
      std::abort();
    }
  }
  return 0;
}
