// Times the line parser alone on a generated combined-format log, once per
// way of finding the markers, rounds alternating so that the machine's
// other load falls on each alike; the best round of each is reported, in
// the thread's processor time, so time spent waiting for a core is left out.
//
//   parse_bench LINES [SEED] [ROUNDS]
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/log_generator.h"
#include "intake/log_parser.h"

namespace {

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: parse_bench LINES [SEED] [ROUNDS]\n");
    return 2;
  }
  uint64_t lines = std::strtoull(argv[1], nullptr, 10);
  uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  std::string log = logvane::bench::LogGenerator::Generate(lines, seed);
  std::vector<std::string_view> pieces;
  for (size_t at = 0; at < log.size();) {
    size_t end = log.find('\n', at);
    end = end == std::string::npos ? log.size() : end + 1;
    pieces.push_back(std::string_view(log).substr(at, end - at));
    at = end;
  }
  using logvane::MarkerScan;
  const struct {
    MarkerScan scan;
    const char* name;
  } scans[] = {{MarkerScan::kSearch, "search"},
               {MarkerScan::kMarksPortable, "marks plain"},
               {MarkerScan::kMarksAvx2, "marks AVX2"},
               {MarkerScan::kMarksAvx512, "marks AVX512"}};
  double best[4] = {0, 0, 0, 0};
  logvane::LineFormat format;
  logvane::LogRecord record;
  int64_t check = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < 4; ++k) {
      if (!logvane::MarkerScanAvailable(scans[k].scan)) continue;
      double start = ThreadSeconds();
      for (std::string_view line : pieces) {
        logvane::ParseLogLineWith(scans[k].scan, line, format, record);
        check += record.byteCount + record.statusCode + static_cast<int64_t>(record.extra2.size());
      }
      double s = ThreadSeconds() - start;
      if (round == 0 || s < best[k]) best[k] = s;
    }
  }
  for (int k = 0; k < 4; ++k) {
    if (!logvane::MarkerScanAvailable(scans[k].scan)) continue;
    std::printf("%-11s %.3f s  %.2f M lines/s  %.0f ns/line\n", scans[k].name, best[k],
                pieces.size() / best[k] / 1e6, best[k] * 1e9 / pieces.size());
  }
  std::printf("(checksum %lld)\n", static_cast<long long>(check));
  return 0;
}
