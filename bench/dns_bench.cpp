// Name translation with many unknown addresses: a fake resolver that takes
// a fixed time to answer, so the figure shows how far DNSTHREADS overlaps
// the waiting. No query leaves the machine.
//
//   dns_bench [threads=50] [addresses=1000] [delay_ms=100]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "driver/run_state.h"
#include "names/name_phases.h"
#include "platform/fault_env.h"

namespace {

int Argument(int argc, char** argv, int index, int fallback) {
  return argc > index ? std::atoi(argv[index]) : fallback;
}

// Documentation-range addresses, IPv6 once the IPv4 ranges run out.
std::string Address(int i) {
  static const char* const kRanges[] = {"192.0.2.", "198.51.100.", "203.0.113."};
  if (i < 3 * 254) return kRanges[i / 254] + std::to_string(i % 254 + 1);
  return "2001:db8::" + std::to_string(i + 1);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace logvane;
  const int threads = Argument(argc, argv, 1, 50);
  const int addresses = Argument(argc, argv, 2, 1000);
  const int delayMs = Argument(argc, argv, 3, 100);
  if (threads < 1 || threads > 64 || addresses < 1 || addresses > 50000 || delayMs < 0) {
    std::fprintf(stderr, "usage: dns_bench [threads 1-64] [addresses 1-50000] [delay_ms]\n");
    return 2;
  }

  RunStatePtr state = NewRunState();
  ClearNameCache(state->cache);
  ClearTallies(state->tallies);
  state->settings.dnsThreads = threads;
  std::string consoleText;
  Console console(&consoleText);
  for (int i = 0; i < addresses; ++i) CountText(state->tallies.users, Address(i), 512);

  // The real clock and threads, a resolver that takes its time.
  FaultEnv platform;
  platform.resolver = [delayMs](const std::string& address) -> std::optional<std::string> {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    return "host-" + address + ".example";
  };

  UserAddresses translated;
  auto began = std::chrono::steady_clock::now();
  TranslateUserNames(state->settings, state->tallies.users, state->cache, translated, console,
                     platform);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  int named = 0;
  for (size_t i = 0; i < state->tallies.users.used; ++i) {
    if (state->tallies.users.slots[i].key.view().ends_with(".example")) ++named;
  }
  std::printf("dns_bench: %d addresses, %d ms per answer, DNSTHREADS=%d\n", addresses, delayMs,
              threads);
  std::printf("  named %d of %d, %zu cache entries added\n", named, addresses,
              state->cache.usedCount);
  std::printf("  translation took %.2f s (%.1f lookups/s; one at a time would take about %.0f s)\n",
              seconds, addresses / seconds, addresses * (delayMs + 10) / 1000.0);
  return named == addresses ? 0 : 1;
}
