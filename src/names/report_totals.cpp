#include "names/report_totals.h"

#include "names/nations.h"
#include "tally/weekdays.h"

namespace logvane {

Status DeriveReportTotals(const RunSettings& settings, Tallies& tallies,
                          const NationsByAddress* byAddress) {
  if (settings.showDays) AverageWeekdays(tallies.dates, tallies.weekdays);
  if (!settings.showNations) return Status::Ok();
  if (byAddress == nullptr) {
    TallyNations(tallies.users, tallies.nations);
    return Status::Ok();
  }
  Status s = TallyNationsByAddress(tallies.users, byAddress->addresses, byAddress->database,
                                   tallies.nations);
  if (!s.ok()) TallyNations(tallies.users, tallies.nations);
  return s;
}

}  // namespace logvane
