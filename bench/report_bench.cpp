// Times both report styles over full tables: 50000 users and pages shown
// in full, every day, hour and extra slot in use, written to /dev/null.
// Prints each report's size and the time of one report, and the modern
// report's ratios to the classic one. "classic" or "modern" as argument
// times that style alone.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/run_state.h"
#include "names/report_totals.h"
#include "platform/fault_env.h"
#include "report/modern_report.h"
#include "report/report_writer.h"
#include "report/write_report.h"

using namespace logvane;

int main(int argc, char** argv) {
  // "classic" or "modern" times that style alone (for perf and the like).
  const std::string only = argc > 1 ? argv[1] : "";
  RunStatePtr state = NewRunState();
  RunSettings& s = state->settings;
  s.hostName = "benchhost";
  s.maxUsers = s.maxPages = 9999;
  s.maxDirs = s.maxNotFound = s.maxExtra1 = s.maxExtra2 = 999;
  state->counters.hasExtra1 = state->counters.hasExtra2 = true;
  Tallies& t = state->tallies;
  for (size_t i = 0; i < kUserCapacity; ++i) {
    UserEntry& u = t.users.slots[i];
    u.key.assign("host" + std::to_string(i) + ".example.com");
    u.hits = static_cast<int64_t>(kUserCapacity - i);
    u.byteSum = 1234.5 * static_cast<double>(i);
  }
  t.users.used = kUserCapacity;
  auto fill = [](auto& table, const char* prefix) {
    for (size_t i = 0; i < std::size(table.slots); ++i) {
      table.slots[i].key.assign(prefix + std::to_string(i) + "&<x>");
      table.slots[i].hits = static_cast<int64_t>(std::size(table.slots) - i);
    }
  };
  fill(t.pages, "/page/");
  fill(t.directories, "/dir");
  fill(t.notFound, "/gone/");
  fill(t.extra1, "Agent ");
  fill(t.extra2, "http://ref/");
  for (size_t i = 0; i < kDateCapacity; ++i) {
    char key[16];
    std::snprintf(key, sizeof(key), "%02zu/Jan/%04zu", 1 + i % 28, 1990 + i / 28);
    t.dates.slots[i].key.assign(key);
    t.dates.slots[i].hits = 100 + static_cast<int64_t>(i);
    t.dates.slots[i].byteSum = 5e6;
  }
  for (size_t i = 0; i < 24; ++i) {
    t.hours.slots[i + 1].key.assign(std::to_string(i));
    t.hours.slots[i + 1].hits = 1000;
  }
  for (auto& c : t.codes.counts) c = 1000;
  FaultEnv platform;  // its clock text is fixed

  (void)DeriveReportTotals(state->settings, state->tallies);
  auto classic = [&](ReportWriter& out) { WriteReport(*state, out, platform); };
  auto modern = [&](ReportWriter& out) { WriteModernReport(*state, out, platform); };
  // The styles take turns, so that both meet the same load on a shared
  // machine; the best round of each counts.
  auto size = [&](auto&& write) {
    std::string sample;
    ReportWriter capture(&sample);
    write(capture);
    (void)capture.Close();
    return sample.size();
  };
  auto time = [&](auto&& write) {
    std::unique_ptr<ReportWriter> out;
    if (!ReportWriter::Create(platform, "/dev/null", &out).ok()) std::exit(1);
    auto start = std::chrono::steady_clock::now();
    write(*out);
    if (!out->Close().ok()) std::exit(1);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  };
  const size_t classicBytes = size(classic);
  const size_t modernBytes = size(modern);
  const int kRounds = 30;
  double classicMs = 1e9;
  double modernMs = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    if (only != "modern") classicMs = std::min(classicMs, time(classic));
    if (only != "classic") modernMs = std::min(modernMs, time(modern));
  }
  if (only != "modern") {
    std::printf("classic report of %zu bytes: %.2f ms\n", classicBytes, classicMs);
  }
  if (only != "classic") {
    std::printf("modern report of %zu bytes: %.2f ms\n", modernBytes, modernMs);
  }
  if (only.empty()) {
    std::printf("modern / classic: %.2f x the bytes, %.2f x the time (best of %d rounds each)\n",
                static_cast<double>(modernBytes) / static_cast<double>(classicBytes),
                modernMs / classicMs, kRounds);
  }
  return 0;
}
