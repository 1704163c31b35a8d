// uap-core's regexes.yaml, read into its three parser lists: the
// expressions in file order (the first that matches wins) with the
// replacements each one names.
#ifndef LOGVANE_AGENTS_UAP_REGEXES_H_
#define LOGVANE_AGENTS_UAP_REGEXES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"

namespace logvane {

// The fields a rule can fill, by list. The browser's are family, v1, v2,
// v3; the system's os, v1 to v4; the device's family, brand, model.
inline constexpr size_t kUapFields = 5;

struct UapRule {
  std::string regex;
  bool caseless = false;  // regex_flag: 'i'
  uint8_t given = 0;      // bit f set: replacement[f] was named in the file
  std::string replacement[kUapFields];
  uint32_t line = 0;  // where the item starts, for messages

  bool Has(size_t field) const { return (given >> field) & 1; }
};

struct UapRegexes {
  std::vector<UapRule> userAgent;  // user_agent_parsers
  std::vector<UapRule> os;         // os_parsers
  std::vector<UapRule> device;     // device_parsers
};

// Whether this build can read the file (it needs libyaml).
bool CanReadUapRegexes();

// Parses the contents of a regexes.yaml; `name` is the file's name for
// messages. A broken file gives a Corrupt status with the line and the
// reason, and `out` is left empty; keys this reader does not know are passed
// over, so a newer file still loads.
Status ParseUapRegexes(std::string_view text, std::string_view name, UapRegexes* out);

}  // namespace logvane

#endif  // LOGVANE_AGENTS_UAP_REGEXES_H_
