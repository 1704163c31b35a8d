#include "report/report_outline.h"

#include "common/ascii_text.h"
#include "report/modern_sections.h"
#include "report/ranked_sections.h"
#include "report/response_codes.h"
#include "report/time_sections.h"
#include "report/top_nations.h"
#include "report/top_users.h"

namespace logvane {

const ReportSection kReportSections[kReportSectionCount] = {
    {"TU", kTopUsers, true, [](const ReportInput& in) { return in.settings.showUsers; },
     WriteTopUsers, WriteModernTopUsers},
    {"BD", kActivityByDate, true, [](const ReportInput& in) { return in.settings.showDates; },
     WriteActivityByDate, WriteModernActivityByDate},
    {"BA", kDayOfWeekTitle, true, [](const ReportInput& in) { return in.settings.showDays; },
     WriteDayOfWeek, WriteModernDayOfWeek},
    {"BH", kHourlyLoad, true, [](const ReportInput& in) { return in.settings.showHours; },
     WriteHourlyLoad, WriteModernHourlyLoad},
    {"TP", kTopPages, true, [](const ReportInput& in) { return in.settings.showPages; },
     WriteTopPages, WriteModernTopPages},
    {"TD", kTopDirectories, true, [](const ReportInput& in) { return in.settings.showDirs; },
     WriteTopDirectories, WriteModernTopDirectories},
    {"TN", kTopNations, false, [](const ReportInput& in) { return in.settings.showNations; },
     WriteTopNations, WriteModernTopNations},
    {"BC", kResponseCodeTitle, true, [](const ReportInput& in) { return in.settings.showCodes; },
     WriteResponseCodes, WriteModernResponseCodes},
    {"TE1", kExtra1, false, [](const ReportInput& in) { return in.counters.hasExtra1; },
     WriteExtra1, WriteModernExtra1},
    {"TE2", kExtra2, false, [](const ReportInput& in) { return in.counters.hasExtra2; },
     WriteExtra2, WriteModernExtra2},
};

LogDays FirstAndLastDay(const DateTable& dates) {
  LogDays days;
  bool found = false;
  for (const DateEntry& date : dates.slots) {
    if (date.hits <= 0) continue;
    if (!found) days.first = date.key.view();
    days.last = date.key.view();
    found = true;
  }
  return days;
}

std::string CapacityNote() {
  constexpr ConstText kCapacity = NumberedText("", kUserCapacity, "", true);
  const std::string capacity(kCapacity.view());
  return "Note: Log file had more than " + capacity + " users; only first " + capacity +
         " reportable.";
}

}  // namespace logvane
