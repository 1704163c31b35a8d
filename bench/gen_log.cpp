// Writes a deterministic combined-format log for benchmarks:
//   gen_log LINES SEED PATH
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/log_generator.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: gen_log LINES SEED PATH\n");
    return 2;
  }
  uint64_t lines = std::strtoull(argv[1], nullptr, 10);
  uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  if (!logvane::bench::LogGenerator::WriteFile(argv[3], lines, seed)) {
    std::fprintf(stderr, "gen_log: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
