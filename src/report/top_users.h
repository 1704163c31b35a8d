// The Top Users section: the busiest users with their byte volume, each
// linked through the ULOOKUP template or, without one, to a WHOIS query.
#ifndef LOGVANE_REPORT_TOP_USERS_H_
#define LOGVANE_REPORT_TOP_USERS_H_

#include <string_view>

#include "report/html_text.h"
#include "report/report_input.h"
#include "report/report_writer.h"
#include "report/section_rows.h"

namespace logvane {

SectionRows TopUserRows(const ReportInput& state);

// Where the user cell of `key` links to under `userLink`: the template, a
// WHOIS query, or nowhere; sets the row's link and linkText.
void LinkUser(const LinkTemplate& userLink, std::string_view key, TableRow& row);

// The user cell of key `key`: the template link, a WHOIS link or the key
// alone, every text from the key escaped.
void WriteUserCell(ReportWriter& out, std::string_view userLinkTemplate, std::string_view key,
                   KeyText form = KeyText::kPlain);

}  // namespace logvane

#endif  // LOGVANE_REPORT_TOP_USERS_H_
