// The settings that change what the reading phase counts, as a state
// records them: a state can be merged only into a run that counts by the
// same rules. Report-only settings (TITLE, labels, STYLE, MAX*, NO_*,
// LOOKUP, GEOIP, THREADS) are the merging run's own.
#ifndef LOGVANE_STATE_STATE_SETTINGS_H_
#define LOGVANE_STATE_STATE_SETTINGS_H_

#include <optional>
#include <string>
#include <vector>

#include "config/run_settings.h"

namespace logvane {

struct TallyingSetting {
  std::string keyword;  // as the parameter file writes it
  std::string value;    // canonical: equal values count alike
};

// The run's tallying settings that differ from their defaults, in the one
// table's order. A keyword at its default is left out, so that a state
// made before a keyword existed, or by a later program with the keyword
// unused, compares equal.
std::vector<TallyingSetting> TallyingSettingsOf(const RunSettings& settings);

struct SettingDifference {
  std::string keyword;
  std::string runValue;    // "(not set)" where the run leaves it at its default
  std::string stateValue;  // the same for the state
};

// The first keyword whose values differ, in the run's table order, then
// any keyword the state has that this program does not know.
std::optional<SettingDifference> CompareSettings(const std::vector<TallyingSetting>& run,
                                                 const std::vector<TallyingSetting>& state);

}  // namespace logvane

#endif  // LOGVANE_STATE_STATE_SETTINGS_H_
