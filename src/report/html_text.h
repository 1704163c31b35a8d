// Texts from the log, the cache file or the resolver, made safe for the
// report: any client of the analysed server chooses them, so none may become
// markup or a link that runs script.
#ifndef LOGVANE_REPORT_HTML_TEXT_H_
#define LOGVANE_REPORT_HTML_TEXT_H_

#include <string>
#include <string_view>

#include "report/report_writer.h"

namespace logvane {

// & < > " ' as character references, NUL as U+FFFD's; safe as element text
// and inside an attribute value in double or single quotes (a ULOOKUP
// template may quote its address either way).
std::string EscapeHtml(std::string_view text);
void WriteEscaped(ReportWriter& out, std::string_view text);

// How a key reads as element text: as it stands, or with a line-break
// opportunity (<wbr>) after each '.', '/', '?', '&' and '=', so that host
// names, paths and queries wrap at their separators on a narrow screen.
enum class KeyText { kPlain, kBreakable };
void WriteKeyText(ReportWriter& out, std::string_view text, KeyText form);

// True when a browser would read `address` as a javascript:, vbscript: or
// data: address: case is ignored, leading blanks and control characters are
// dropped and tabs, CRs and LFs inside are skipped, as browsers do.
bool IsScriptAddress(std::string_view address);

// "<a href=\"K\">K</a>" with K escaped, or the escaped K alone when K is a
// script address; the text in the given form.
void WriteKeyLink(ReportWriter& out, std::string_view key, KeyText form = KeyText::kPlain);
// The link alone, for a key known to be no script address.
void WriteLinkToKey(ReportWriter& out, std::string_view key, KeyText form);

}  // namespace logvane

#endif  // LOGVANE_REPORT_HTML_TEXT_H_
