// Times the reading phase alone on a generated combined-format log (or on a
// given log file): lines per second and megabytes per second.
//
//   read_bench [--threads=N] LINES [SEED] [REPEATS]
//   read_bench [--threads=N] --file PATH [REPEATS]
//
// The log is held in memory, so the figures leave out the disk. Each repeat
// starts from a fresh run state; the best repeat is reported, since the
// machine's other load can only slow a run down. The processor time of the
// phase (all its threads) is reported beside the wall time: on a busy
// machine it leaves out the time spent waiting for a core.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/log_generator.h"
#include "driver/run_state.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "platform/env.h"

namespace {

double ProcessSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int Usage() {
  std::fprintf(stderr,
               "usage: read_bench [--threads=N] LINES [SEED] [REPEATS]\n"
               "       read_bench [--threads=N] --file PATH [REPEATS]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // THREADS=n of the parameter file; 0, the default, uses every core.
  int threads = 0;
  if (argc > 1 && std::string(argv[1]).starts_with("--threads=")) {
    threads = std::atoi(argv[1] + 10);
    --argc;
    ++argv;
  }
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
  double prepared =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  size_t lineCount = 0;
  for (char c : log) lineCount += c == '\n';
  std::printf("log: %zu lines, %zu bytes (%.1f bytes/line), prepared in %.2f s\n", lineCount,
              log.size(), lineCount ? static_cast<double>(log.size()) / lineCount : 0.0, prepared);

  logvane::SystemEnv platform;
  double best = 0;
  double bestCpu = 0;
  for (int r = 0; r < repeats; ++r) {
    auto state = logvane::NewRunState();
    state->settings.lookupMode = 'N';
    state->settings.robotsMode = "RPT";
    std::string consoleText;
    logvane::Console console(&consoleText);
    auto source = logvane::LogFromText(log);
    logvane::LogLineReader reader(*source);
    auto start = std::chrono::steady_clock::now();
    double cpuStart = ProcessSeconds();
    logvane::ReadingPlan plan;
    plan.threads =
        threads != 0 ? threads : static_cast<int32_t>(std::thread::hardware_concurrency());
    logvane::ReadRecords(state->settings, state->tallies, state->counters, reader, console,
                         platform, plan);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = ProcessSeconds() - cpuStart;
    if (r == 0 || seconds < best) best = seconds;
    if (r == 0 || cpu < bestCpu) bestCpu = cpu;
    const logvane::Tallies& t = state->tallies;
    std::printf(
        "run %d: %.3f s (cpu %.3f s)  processed %lld  users %zu  pages %zu  dirs %zu  dates %zu  "
        "extra1 %zu  extra2 %zu  console %zu bytes\n",
        r + 1, seconds, cpu, static_cast<long long>(state->counters.processedCount),
        t.users.used, t.pages.used, t.directories.used, t.dates.used, t.extra1.used,
        t.extra2.used, consoleText.size());
  }
  std::printf("reading phase: %.3f s, %.2f M lines/s, %.0f MB/s; cpu %.3f s, %.2f M lines/cpu-s\n",
              best, static_cast<double>(lineCount) / best / 1e6,
              static_cast<double>(log.size()) / best / 1e6, bestCpu,
              static_cast<double>(lineCount) / bestCpu / 1e6);
  return 0;
}
