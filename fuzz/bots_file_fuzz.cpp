// Any bytes as a BOTS file: the reader must end normally, fail with the
// file and a line or byte, or give entries whose tokens a table takes and
// finds again as whole tokens.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "agents/bots_file.h"
#include "agents/crawler_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  auto check = [](bool ok) {
    if (!ok) std::abort();
  };
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<Crawler> entries;
  Status status = ParseBotsFile(text, "bots", &entries);
  if (!status.ok()) {
    check(status.path() == "bots" && !status.message().empty());
    check(status.where().rfind("line ", 0) == 0 || status.where().rfind("byte ", 0) == 0);
    check(entries.empty());
    return 0;
  }
  check(entries.size() <= kBotsFileMostEntries);
  CrawlerTable table = CrawlerTable::BuiltIn();
  for (const Crawler& c : entries) {
    check(!c.token.empty() && c.token.size() <= kBotsTokenWidth);
    check(table.Put(c));
  }
  for (size_t i = 0; i < table.size(); ++i) {
    // Standing alone, a token is found (itself or a longer one that starts
    // the same way at the same place). A later entry may have replaced an
    // earlier one with the same token, so the table's own entries are asked.
    const Crawler& c = table[i];
    std::string agent = c.versioned ? c.token + "/1.0" : c.token;
    check(table.Find(agent) >= 0);
  }
  table.Find(text.substr(0, 2000));
  return 0;
}
