// One log line on its way into the tallies, in two steps: PrepareLine finds
// its fields and every decision that depends on the line and the settings
// alone; LineRouter::Route feeds the tallies in their fixed order and writes
// the line's console text. Preparing has no effects, so lines may be
// prepared ahead of routing, on any thread; routing happens in log order.
#ifndef LOGVANE_INTAKE_LINE_ROUTER_H_
#define LOGVANE_INTAKE_LINE_ROUTER_H_

#include <string_view>

#include "common/run_state.h"
#include "intake/log_parser.h"
#include "platform/console.h"

namespace logvane {

// One line with every field it can give. Its texts are views into the line
// or into the record's own stores, so it lives in place while it is used.
struct PreparedLine {
  LogRecord record;
  LineFault bracketFault;
  bool selected;
  bool hasClient;
  HashedKey user;
  LineFault hourFault;
  LineFault pageFault;
  HashedKey page;
};

// Fills `p` for `line`; reads nothing but the line and the settings. The
// line must stay in place as long as `p` is used.
void PrepareLine(const RunSettings& settings, std::string_view line, PreparedLine& p);

class LineRouter {
 public:
  LineRouter(RunState& state, Console& console);

  // Hints for the memory: the index buckets of the prepared line's keys,
  // then, once those have had time to arrive, their entries.
  void PrefetchBuckets(const PreparedLine& p) const;
  void PrefetchEntries(const PreparedLine& p) const;

  // Feeds the tallies and counters with `p` and writes its console lines.
  void Route(PreparedLine& p);

 private:
  void Count() { ++counters_.processedCount; }

  const RunSettings& settings_;
  Tallies& tallies_;
  RunCounters& counters_;
  Console& console_;
  const bool robotsOn_;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LINE_ROUTER_H_
