// The totals the report reads that come from whole tables rather than from
// single lines: the weekday averages and the nation tally.
#ifndef LOGVANE_NAMES_REPORT_TOTALS_H_
#define LOGVANE_NAMES_REPORT_TOTALS_H_

#include "common/status.h"
#include "config/run_settings.h"
#include "names/geoip_database.h"
#include "names/user_addresses.h"
#include "tally/tally_tables.h"

namespace logvane {

// A country database and the addresses of users whose keys became names.
struct NationsByAddress {
  const GeoDatabase& database;
  const UserAddresses& addresses;
};

// Derives each total whose section is written. With `byAddress` the
// nations go by address; a database that breaks midway gives way to the
// top-level domains, and the failure says why.
Status DeriveReportTotals(const RunSettings& settings, Tallies& tallies,
                          const NationsByAddress* byAddress = nullptr);

}  // namespace logvane

#endif  // LOGVANE_NAMES_REPORT_TOTALS_H_
