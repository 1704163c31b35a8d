#include "tally/sort_tallies.h"

namespace logvane {

void SortTallies(RunState& /*state*/, Console& console) {
  console.Write("sorting...\n\n\n");
  console.Flush();
}

}  // namespace logvane
