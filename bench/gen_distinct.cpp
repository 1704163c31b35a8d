// Writes a combined-format log in which clients and pages keep coming: the
// load under which tally tables run full (TABLES=SUMMARY) and distinct
// counts are estimated, for the memory and cost figures.
//   gen_distinct LINES CLIENTS PAGES SEED [PATH]
// Line i's client is new while i < CLIENTS (each of CLIENTS clients once,
// then Zipf draws over them); pages are Zipf draws over PAGES; 30 days, a
// few user agents, some 404s. Without PATH the log goes to standard output.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/log_generator.h"

namespace {

void AppendClient(std::string& out, uint64_t n) {
  out += "10.";
  logvane::bench::generator_detail::AppendNumber(out, (n >> 16) & 255);
  out += '.';
  logvane::bench::generator_detail::AppendNumber(out, (n >> 8) & 255);
  out += '.';
  logvane::bench::generator_detail::AppendNumber(out, n & 255);
  if (n >= (uint64_t{1} << 24)) {
    out += '.';
    logvane::bench::generator_detail::AppendNumber(out, n >> 24);  // not an address, still a key
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace logvane::bench;
  using namespace logvane::bench::generator_detail;
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: gen_distinct LINES CLIENTS PAGES SEED [PATH]\n");
    return 2;
  }
  const uint64_t lines = std::strtoull(argv[1], nullptr, 10);
  const uint64_t clients = std::strtoull(argv[2], nullptr, 10);
  const uint64_t pages = std::strtoull(argv[3], nullptr, 10);
  Random random(std::strtoull(argv[4], nullptr, 10));
  std::FILE* out = argc == 6 ? std::fopen(argv[5], "wb") : stdout;
  if (out == nullptr) {
    std::fprintf(stderr, "gen_distinct: cannot write %s\n", argv[5]);
    return 1;
  }
  ZipfSampler clientZipf(clients == 0 ? 1 : clients, 1.0);
  ZipfSampler pageZipf(pages == 0 ? 1 : pages, 0.9);
  static const char* const kAgents[] = {"Mozilla/5.0 (X11; Linux x86_64)",
                                        "Mozilla/5.0 (iPhone; CPU iPhone OS 17_0)", "curl/8.5.0",
                                        "Googlebot/2.1"};
  std::string line;
  for (uint64_t i = 0; i < lines; ++i) {
    line.clear();
    AppendClient(line, i < clients ? i : clientZipf.Sample(random));
    line += " - - [";
    AppendTwoDigits(line, static_cast<int64_t>(1 + i * 30 / (lines == 0 ? 1 : lines)));
    line += "/Oct/2025:";
    AppendTwoDigits(line, static_cast<int64_t>(random.Below(24)));
    line += ":00:00 +0000] \"GET /d";
    const uint64_t page = pageZipf.Sample(random);
    AppendNumber(line, page % 1500);
    line += "/p";
    AppendNumber(line, page);
    line += ".html HTTP/1.1\" ";
    line += random.Chance(0.05) ? "404 " : "200 ";
    AppendNumber(line, 200 + random.Below(20000));
    line += " \"-\" \"";
    line += kAgents[random.Below(4)];
    line += "\"\n";
    if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) return 1;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
