// The costs of classifying user agents: loading uap-core's regexes.yaml,
// classifying an agent not seen before, and finding one in the cache.
//
//   agents_bench [MODE] [COUNT] [REGEXES]
//     MODE  all (default), load, new or hit: "load" only loads; "new"
//           classifies COUNT distinct agents (default 20000); "hit" looks
//           the benchmark log's agents up COUNT times (default 5000000)
//     REGEXES  default /usr/share/uap-core/regexes.yaml
//
// Wall times on a shared machine are noise: for a figure to compare, count
// instructions, e.g. run "new" under valgrind --tool=callgrind with two
// counts and divide the difference by the difference of the counts.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "agents/agent_classifier.h"
#include "support/log_generator.h"
#include "tally/key_index.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Agents as they vary in real logs: versions, models and systems change,
// so each is new to the cache.
std::string NewAgent(unsigned i) {
  char text[320];
  unsigned v = 100 + i % 37;
  unsigned build = i % 7000;
  switch (i % 8) {
    case 0:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like "
                    "Gecko) Chrome/%u.0.%u.%u Safari/537.36",
                    v, build, i % 200);
      break;
    case 1:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 (Linux; Android %u; SM-A%03uF) AppleWebKit/537.36 (KHTML, like "
                    "Gecko) Chrome/%u.0.%u.%u Mobile Safari/537.36",
                    9 + i % 6, i % 1000, v, build, i % 150);
      break;
    case 2:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 (iPhone; CPU iPhone OS %u_%u like Mac OS X) AppleWebKit/605.1.15 "
                    "(KHTML, like Gecko) Version/%u.%u Mobile/15E%u Safari/604.1",
                    14 + i % 5, i % 7, 14 + i % 5, i % 7, 100 + i % 900);
      break;
    case 3:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 (X11; Linux x86_64; rv:%u.%u) Gecko/20100101 Firefox/%u.%u", v,
                    i % 10, v, i % 10);
      break;
    case 4:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_%u) AppleWebKit/605.1.15 "
                    "(KHTML, like Gecko) Version/%u.%u Safari/605.1.15",
                    i % 8, 14 + i % 5, i % 9);
      break;
    case 5:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 (Linux; Android %u; Pixel %u Build/AP%uA.%u) AppleWebKit/537.36 "
                    "(KHTML, like Gecko) Chrome/%u.0.%u.%u Mobile Safari/537.36",
                    11 + i % 4, 3 + i % 6, 1 + i % 3, build, v, build, i % 90);
      break;
    case 6:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.%u; "
                    "+https://openai.com/gptbot) run/%u",
                    i % 9, i);
      break;
    default:
      std::snprintf(text, sizeof(text),
                    "Mozilla/5.0 (compatible; Crawler%u/%u.%u; +http://c%u.example/)", i % 50,
                    i % 5, i % 11, i);
      break;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace logvane;
  std::string mode = argc > 1 ? argv[1] : "all";
  long count = argc > 2 ? std::atol(argv[2]) : 0;
  std::string path = argc > 3 ? argv[3] : "/usr/share/uap-core/regexes.yaml";
  if (mode != "all" && mode != "load" && mode != "new" && mode != "hit") {
    std::fprintf(stderr, "usage: agents_bench [all|load|new|hit] [COUNT] [REGEXES]\n");
    return 2;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "agents_bench: cannot read %s\n", path.c_str());
    return 1;
  }
  std::string text = content.str();

  Clock::time_point start = Clock::now();
  AgentRules rules;
  Status status = LoadAgentRules(text, path, &rules);
  double loadSeconds = Since(start);
  if (!status.ok()) {
    std::fprintf(stderr, "agents_bench: %s\n", status.ToString().c_str());
    return 1;
  }
  std::printf("load: %zu expressions (%zu refused by RE2), %zu crawlers in the table: %.1f ms\n",
              rules.matcher.RuleCount(), rules.refused.count, rules.crawlers.size(),
              loadSeconds * 1e3);

  if (mode == "all" || mode == "new") {
    long n = count > 0 ? count : 20000;
    std::vector<std::string> agents;
    agents.reserve(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i) agents.push_back(NewAgent(static_cast<unsigned>(i)));
    AgentCache cache(rules, static_cast<size_t>(n) + 16, static_cast<size_t>(n) * 256);
    start = Clock::now();
    size_t bots = 0;
    for (const std::string& a : agents) {
      AgentInfo scratch;
      bots += IsBot(cache.Classify(a, FoldedHash(a), &scratch).agentClass);
    }
    double seconds = Since(start);
    std::printf("new agents: %ld classified (%zu bots) in %.1f ms: %.2f us each (wall)\n", n, bots,
                seconds * 1e3, seconds * 1e6 / static_cast<double>(n));
  }

  if (mode == "all" || mode == "hit") {
    long n = count > 0 ? count : 5000000;
    std::vector<std::string> agents(
        bench::generator_detail::kAgents,
        bench::generator_detail::kAgents + bench::generator_detail::kAgentCount);
    std::vector<uint64_t> hashes;
    for (const std::string& a : agents) hashes.push_back(FoldedHash(a));
    AgentCache cache(rules);
    size_t bots = 0;
    start = Clock::now();
    for (long i = 0; i < n; ++i) {
      size_t k = static_cast<size_t>(i * 7 + i / 3) % agents.size();
      AgentInfo scratch;
      bots += IsBot(cache.Classify(agents[k], hashes[k], &scratch).agentClass);
    }
    double seconds = Since(start);
    std::printf(
        "cache hits: %ld lookups (%zu agents classified, %zu bots) in %.1f ms: %.1f ns "
        "each (wall)\n",
        n, cache.used(), bots, seconds * 1e3, seconds * 1e9 / static_cast<double>(n));
  }
  return 0;
}
