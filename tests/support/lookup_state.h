// The parts of a run that the name phases use, for tests of them alone. The
// tables are large fixed arrays: the record lives on the heap.
#ifndef LOGVANE_TESTS_SUPPORT_LOOKUP_STATE_H_
#define LOGVANE_TESTS_SUPPORT_LOOKUP_STATE_H_

#include <memory>

#include "config/run_settings.h"
#include "names/name_cache.h"
#include "tally/tally_tables.h"

namespace logvane::testing {

struct LookupState {
  RunSettings settings;
  Tallies tallies;
  NameCache cache;
};

inline std::unique_ptr<LookupState> NewLookupState() { return std::make_unique<LookupState>(); }

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_LOOKUP_STATE_H_
