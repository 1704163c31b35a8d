// Writes a deterministic combined-format log for benchmarks:
//   gen_log LINES SEED PATH [NEW_AGENT_EVERY]
// With NEW_AGENT_EVERY = N, every N-th line has a user agent no line had
// before (the user-agent classifier's worst case).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/log_generator.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: gen_log LINES SEED PATH [NEW_AGENT_EVERY]\n");
    return 2;
  }
  uint64_t lines = std::strtoull(argv[1], nullptr, 10);
  uint64_t seed = std::strtoull(argv[2], nullptr, 10);
  logvane::bench::LogShape shape;
  if (argc == 5) shape.newAgentEvery = std::strtoull(argv[4], nullptr, 10);
  if (!logvane::bench::LogGenerator::WriteFile(argv[3], lines, seed, shape)) {
    std::fprintf(stderr, "gen_log: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
