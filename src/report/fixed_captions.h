// The report's fixed texts: captions that no textN label replaces. Both
// styles take them from here; the README lists them as fixed.
#ifndef LOGVANE_REPORT_FIXED_CAPTIONS_H_
#define LOGVANE_REPORT_FIXED_CAPTIONS_H_

#include <string_view>

namespace logvane {

// After a robot's user cell.
inline constexpr std::string_view kSpiderNote = " (spider)";
// The Day of Week section's fourth column heading.
inline constexpr std::string_view kAverageKBytesHeading = "Average K bytes";

// The parameters block.
inline constexpr std::string_view kExcludedAddressCaption = "...excluded address: ";
inline constexpr std::string_view kExcludedTypeCaption = "...excluded type: ";
inline constexpr std::string_view kExcludedTypeTail = " from top page report.";
inline constexpr std::string_view kHourOffsetCaption = "Offset for hourly activity report: ";
inline constexpr std::string_view kGeoipCaption = "GeoIP database: ";
// FROM and UNTIL, as "A to B", "A on" or "up to B".
inline constexpr std::string_view kDateRangeCaption = "Records counted: ";
inline constexpr std::string_view kReportingHostCaption = "reporting host: ";

// The footer, before the maker's link.
inline constexpr std::string_view kPoweredBy = "powered by the ";

}  // namespace logvane

#endif  // LOGVANE_REPORT_FIXED_CAPTIONS_H_
