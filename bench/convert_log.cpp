// Rewrites a combined log in another layout that Logvane reads, and prints
// the LOGFORMAT line that reads it on standard error:
//   convert_log LAYOUT IN OUT     LAYOUT: vhost_combined apache nginx json
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/log_converter.h"

int main(int argc, char** argv) {
  using namespace logvane::bench;
  if (argc != 4) {
    std::fprintf(stderr, "usage: convert_log LAYOUT IN OUT\n");
    return 2;
  }
  const LayoutInfo* info = nullptr;
  for (const LayoutInfo& l : kLayouts) {
    if (l.name == argv[1]) info = &l;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (info == nullptr || !in) {
    std::fprintf(stderr, "convert_log: unknown layout or unreadable %s\n", argv[2]);
    return 2;
  }
  std::ostringstream content;
  content << in.rdbuf();
  std::string out = ConvertLog(content.str(), info->layout);
  std::ofstream file(argv[3], std::ios::binary);
  file << out;
  if (!file.flush()) {
    std::fprintf(stderr, "convert_log: cannot write %s\n", argv[3]);
    return 1;
  }
  std::fprintf(stderr, "LOGFORMAT=%.*s\n", static_cast<int>(info->logFormat.size()),
               info->logFormat.data());
  return 0;
}
