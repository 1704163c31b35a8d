#include "agents/uap_regexes.h"

#include "agents/flat_yaml.h"

namespace logvane {

namespace {

// The replacement keys of each list, by field.
constexpr const char* kFieldKeys[3][kUapFields] = {
    {"family_replacement", "v1_replacement", "v2_replacement", "v3_replacement", nullptr},
    {"os_replacement", "os_v1_replacement", "os_v2_replacement", "os_v3_replacement",
     "os_v4_replacement"},
    {"device_replacement", "brand_replacement", "model_replacement", nullptr, nullptr},
};

// One item as a rule, or why it is not one. Keys this reader does not know
// are passed over, so a newer file still loads.
std::string ReadRule(size_t list, const FlatYamlItem& item, UapRule* rule) {
  rule->line = static_cast<uint32_t>(item.line);
  bool hasRegex = false;
  bool hasFlag = false;
  for (const auto& [key, value] : item.fields) {
    if (key == "regex") {
      if (hasRegex) return "'regex' given twice in one rule";
      rule->regex = value;
      hasRegex = true;
    } else if (key == "regex_flag") {
      if (hasFlag) return "'regex_flag' given twice in one rule";
      if (value != "i") return "unknown regex_flag '" + value + "' (only 'i' is known)";
      rule->caseless = hasFlag = true;
    } else {
      for (size_t f = 0; f < kUapFields; ++f) {
        if (kFieldKeys[list][f] == nullptr || key != kFieldKeys[list][f]) continue;
        if (rule->Has(f)) return "'" + key + "' given twice in one rule";
        rule->replacement[f] = value;
        rule->given = static_cast<uint8_t>(rule->given | (1u << f));
      }
    }
  }
  if (!hasRegex) return "a rule without a 'regex'";
  return {};
}

}  // namespace

bool CanReadUapRegexes() { return CanReadYaml(); }

Status ParseUapRegexes(std::string_view text, std::string_view name, UapRegexes* out) {
  *out = UapRegexes();
  std::vector<UapRule>* lists[] = {&out->userAgent, &out->os, &out->device};
  Status status = ReadFlatYaml(text, name, {"user_agent_parsers", "os_parsers", "device_parsers"},
                               [&lists](size_t list, const FlatYamlItem& item) {
                                 lists[list]->emplace_back();
                                 return ReadRule(list, item, &lists[list]->back());
                               });
  if (!status.ok()) *out = UapRegexes();
  return status;
}

}  // namespace logvane
