#include "report/top_users.h"

#include "common/ascii_text.h"
#include "names/nations.h"
#include "report/table_pattern.h"

namespace logvane {

namespace {

// The key's last two labels when its top-level label is one of the U.S.A.
// group, whose hosts get a WHOIS link; empty when the key gets none.
std::string_view WhoisDomain(std::string_view key) {
  size_t lastDot = key.rfind('.');
  if (lastDot == std::string_view::npos) return {};
  std::string_view top = key.substr(lastDot + 1, 3);
  if (!IsUsaCode(top)) return {};
  // The dot before the last one is looked for from two characters before
  // the last dot, so an empty second label ("a..com") finds none.
  if (lastDot < 2) return {};
  size_t previousDot = key.rfind('.', lastDot - 2);
  if (previousDot == std::string_view::npos) return {};
  return key.substr(previousDot + 1);
}

void WriteTemplateCell(ReportWriter& out, std::string_view linkTemplate, std::string_view key,
                       KeyText form) {
  size_t at = linkTemplate.find("{user}");
  if (at == std::string_view::npos) at = linkTemplate.find("{USER}");
  if (at == std::string_view::npos) {
    out.Write(linkTemplate);
  } else {
    // A key that reads as a script address would run wherever the template
    // puts it, so such a user is written as text alone.
    if (IsScriptAddress(key)) {
      WriteKeyText(out, key, form);
      return;
    }
    out.Write(linkTemplate.substr(0, at));
    WriteEscaped(out, key);
    out.Write(linkTemplate.substr(at + 6));
  }
  WriteKeyText(out, key, form);
  out.Write("</a>\n");
}

}  // namespace

void WriteUserCell(ReportWriter& out, std::string_view userLinkTemplate, std::string_view key,
                   KeyText form) {
  if (!userLinkTemplate.empty()) {
    WriteTemplateCell(out, userLinkTemplate, key, form);
    return;
  }
  std::string_view domain = WhoisDomain(key);
  if (domain.empty()) {
    WriteKeyText(out, key, form);
    return;
  }
  out.Write("<a href=\"");
  out.Write(kWhoisServiceBase);
  out.Write("/cgi-bin/whois?");
  WriteEscaped(out, domain);
  out.Write("\">");
  WriteKeyText(out, key, form);
  out.Write("</a>\n");
}

void WriteTopUsers(const ReportInput& state, ReportWriter& out) {
  const RunSettings& settings = state.settings;
  const ReportLabels& labels = state.labels;
  const UserTable& users = state.tallies.users;

  WriteHeading(out, labels[kTopUsers]);
  WriteTableStart(out);
  WriteHeaderRow(out,
                 {labels[kRank], labels[kUser], labels[kHits], labels[kKBytes], labels[kGraph]});
  const float barScale = BarScale(users.slots[0].hits, settings.graphWidth);
  int64_t unique =
      RankedWalk(users.slots, settings.maxUsers, [&](const UserEntry& user, int64_t rank) {
        out.Write("<tr><td>");
        out.WriteInt(rank);
        out.Write("</td><td>");
        WriteUserCell(out, settings.userLinkTemplate, user.key.view());
        if (user.isRobot == 1) out.Write(" (spider)");
        out.Write("</td><td>");
        out.WriteInt(user.hits);
        out.Write("</td><td>");
        WriteKBytes(out, user.byteSum);
        WriteGraphCell(out, settings, BarWidth(user.hits, barScale));
      });
  WriteTableEnd(out);
  WriteTotalLine(out, labels[kUniqueUsers], unique);
  WriteTotalLine(out, labels[kTotalPagesRequested], state.counters.pagesRequested);
  WriteSectionEnd(out);
}

}  // namespace logvane
