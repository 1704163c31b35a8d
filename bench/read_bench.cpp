// Times the reading phase alone on a generated combined-format log (or on a
// given log file): lines per second and megabytes per second.
//
//   read_bench LINES [SEED] [REPEATS]
//   read_bench --file PATH [REPEATS]
//
// The log is held in memory, so the figures leave out the disk. Each repeat
// starts from a fresh run state; the best repeat is reported, since the
// machine's other load can only slow a run down.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "log_generator.h"
#include "driver/run_state.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "platform/platform.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: read_bench LINES [SEED] [REPEATS]\n"
                       "       read_bench --file PATH [REPEATS]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string log;
  int repeats = 3;
  auto started = std::chrono::steady_clock::now();
  if (std::string(argv[1]) == "--file") {
    if (argc < 3) return Usage();
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", argv[2]);
      return 1;
    }
    std::ostringstream content;
    content << in.rdbuf();
    log = content.str();
    if (argc > 3) repeats = std::atoi(argv[3]);
  } else {
    uint64_t lines = std::strtoull(argv[1], nullptr, 10);
    uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    if (argc > 3) repeats = std::atoi(argv[3]);
    log = logvane::bench::LogGenerator::Generate(lines, seed);
  }
  if (repeats < 1) repeats = 1;
  double prepared = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  size_t lineCount = 0;
  for (char c : log) lineCount += c == '\n';
  std::printf("log: %zu lines, %zu bytes (%.1f bytes/line), prepared in %.2f s\n", lineCount,
              log.size(), lineCount ? static_cast<double>(log.size()) / lineCount : 0.0, prepared);

  logvane::Platform platform = logvane::SystemPlatform();
  double best = 0;
  for (int r = 0; r < repeats; ++r) {
    auto state = logvane::NewRunState();
    state->settings.lookupMode = 'N';
    state->settings.robotsMode = "RPT";
    std::string consoleText;
    logvane::Console console(&consoleText);
    auto source = logvane::LogFromText(log);
    logvane::LogLineReader reader(*source);
    auto start = std::chrono::steady_clock::now();
    logvane::ReadRecords(state->settings, state->tallies, state->counters, reader, console, platform);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r == 0 || seconds < best) best = seconds;
    const logvane::Tallies& t = state->tallies;
    std::printf("run %d: %.3f s  processed %lld  users %zu  pages %zu  dirs %zu  dates %zu  "
                "extra1 %zu  extra2 %zu  console %zu bytes\n",
                r + 1, seconds, static_cast<long long>(state->counters.processedCount),
                t.users.userCount, t.pages.used, t.directories.used, t.dates.used, t.extra1.used,
                t.extra2.used, consoleText.size());
  }
  std::printf("reading phase: %.3f s, %.2f M lines/s, %.0f MB/s\n", best,
              static_cast<double>(lineCount) / best / 1e6,
              static_cast<double>(log.size()) / best / 1e6);
  return 0;
}
