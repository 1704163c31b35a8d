// The Top Users section: the busiest users with their byte volume, each
// linked through the ULOOKUP template or, without one, to a WHOIS query.
#ifndef LOGVANE_REPORT_TOP_USERS_H_
#define LOGVANE_REPORT_TOP_USERS_H_

#include <string_view>

#include "report/html_text.h"
#include "report/report_input.h"
#include "report/report_writer.h"

namespace logvane {

// The public WHOIS query service; "/cgi-bin/whois?" and a domain follow it.
inline constexpr std::string_view kWhoisServiceBase = "https://www.internic.net";

void WriteTopUsers(const ReportInput& state, ReportWriter& out);

// The user cell of key `key`: the template link, a WHOIS link or the key
// alone, every text from the key escaped.
void WriteUserCell(ReportWriter& out, std::string_view userLinkTemplate, std::string_view key,
                   KeyText form = KeyText::kPlain);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TOP_USERS_H_
