// Any bytes as a regexes.yaml: the reader must end normally, fail with the
// file and a line or give rules, and leave nothing behind when it fails.
// Small rule sets are compiled and matched too: the matcher must take or
// refuse every expression, and its fields must stay within their width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "agents/uap_matcher.h"
#include "agents/uap_regexes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  auto check = [](bool ok) {
    if (!ok) std::abort();
  };
  std::string_view text(reinterpret_cast<const char*>(data), size);
  UapRegexes regexes;
  Status status = ParseUapRegexes(text, "regexes.yaml", &regexes);
  if (!status.ok()) {
    check(status.code() == StatusCode::kCorrupt || status.code() == StatusCode::kUnsupported);
    check(status.code() == StatusCode::kUnsupported ||
          (status.path() == "regexes.yaml" && status.where().rfind("line ", 0) == 0 &&
           !status.message().empty()));
    check(regexes.userAgent.empty() && regexes.os.empty() && regexes.device.empty());
    return 0;
  }
  size_t rules = regexes.userAgent.size() + regexes.os.size() + regexes.device.size();
  if (rules == 0 || rules > 16) return 0;
  UapMatcher matcher;
  RefusedExpressions refused;
  if (!matcher.Build(regexes, "regexes.yaml", &refused).ok()) return 0;
  check(matcher.RuleCount() + refused.count == rules);
  check(refused.first.size() <= RefusedExpressions::kKept);
  UapScratch scratch;
  const std::string_view agents[] = {
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/124.0.0.0 Safari/537.36",
      "", "GPTBot/1.2", text.substr(0, 300)};
  for (std::string_view agent : agents) {
    for (UapList list : {UapList::kUserAgent, UapList::kOs, UapList::kDevice}) {
      UapMatch match;
      matcher.Match(list, agent, kUapAllFields | kUapFirstGroup, scratch, &match);
      check(!match.fields[0].empty());
      for (const auto& field : match.fields) check(field.size <= kUapFieldWidth);
      check(match.groupBegin <= match.groupEnd &&
            match.groupEnd <= static_cast<int32_t>(agent.size()));
    }
  }
  return 0;
}
