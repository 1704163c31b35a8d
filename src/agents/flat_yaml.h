// The one shape of YAML that uap-core's files have: a top-level mapping of
// lists, each list a sequence of flat mappings from keys to texts. Read as a
// stream of libyaml's events, so a hostile file costs no recursion.
#ifndef LOGVANE_AGENTS_FLAT_YAML_H_
#define LOGVANE_AGENTS_FLAT_YAML_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/status.h"

namespace logvane {

struct FlatYamlItem {
  size_t line = 0;  // where the item starts, from 1
  // Keys and texts in file order; a key with no value (null) has "".
  std::vector<std::pair<std::string, std::string>> fields;
};

// Called for each item of a list named in `lists`; returns the empty text to
// go on, or why the item is wrong (the read then fails at the item's line).
using FlatYamlVisitor = std::function<std::string(size_t list, const FlatYamlItem& item)>;

// Whether this build can read YAML (it needs libyaml).
bool CanReadYaml();

// Reads `text` (the contents of the file `name`): the top-level lists whose
// keys are in `lists` are visited item by item; other top-level keys are
// passed over. A file with none of them, a list given twice, an item that is
// not a flat mapping of texts, or a YAML error gives a Corrupt status with
// the line and the reason. Without libyaml: Unsupported.
Status ReadFlatYaml(std::string_view text, std::string_view name,
                    const std::vector<std::string_view>& lists, const FlatYamlVisitor& visit);

}  // namespace logvane

#endif  // LOGVANE_AGENTS_FLAT_YAML_H_
