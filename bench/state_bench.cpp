// The cost of state files on a state written by a run (for the README):
// encoding it, decoding it and merging it N times into one tally (as a
// month of daily states would be), and the memory that takes.
//   state_bench STATE_FILE [N]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "intake/log_source.h"
#include "state/state_codec.h"
#include "state/state_merge.h"

namespace {

struct Tally {
  logvane::Tallies tallies;
  logvane::RunCounters counters;
};

Tally* NewTally() {
  void* memory = std::calloc(1, sizeof(Tally));
  if (memory == nullptr) throw std::bad_alloc();
  return new (memory) Tally;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: state_bench STATE_FILE [N]\n");
    return 2;
  }
  const int n = argc > 2 ? std::atoi(argv[2]) : 31;
  logvane::SystemEnv machine;
  Tally* piece = NewTally();
  Tally* run = NewTally();
  logvane::ResetTally(run->tallies, run->counters);
  logvane::StateFacts facts;
  auto start = std::chrono::steady_clock::now();
  double decodeSeconds = 0;
  for (int i = 0; i < n; ++i) {
    std::unique_ptr<logvane::LogSource> source;
    if (logvane::Status opened = logvane::OpenLogFile(machine, argv[1], &source); !opened.ok()) {
      std::fprintf(stderr, "%s\n", opened.ToString().c_str());
      return 1;
    }
    logvane::StateStream stream(*source, argv[1]);
    bool atEnd = false;
    auto decodeStart = std::chrono::steady_clock::now();
    logvane::Status s =
        logvane::DecodeState(stream, piece->tallies, piece->counters, &facts, &atEnd);
    decodeSeconds += Seconds(decodeStart);
    if (!s.ok() || atEnd) {
      std::fprintf(stderr, "%s\n", s.ToString().c_str());
      return 1;
    }
    logvane::MergeDrops drops;
    logvane::MergeTally(piece->tallies, piece->counters, run->tallies, run->counters, &drops);
  }
  const double mergeSeconds = Seconds(start);
  start = std::chrono::steady_clock::now();
  const std::string bytes = logvane::EncodeState(piece->tallies, piece->counters, facts);
  const double encodeSeconds = Seconds(start);
  std::printf(
      "state: %zu bytes; encode %.1f ms; %d states decoded and merged in %.1f ms "
      "(decoding %.1f ms); peak memory %ld KiB\n",
      bytes.size(), encodeSeconds * 1e3, n, mergeSeconds * 1e3, decodeSeconds * 1e3,
      PeakKilobytes());
  return 0;
}
