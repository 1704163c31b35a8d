#include "report/html_text.h"

#include "common/ascii_text.h"

namespace logvane {

namespace {

// The reference for a byte that needs one, or none.
std::string_view ReferenceFor(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    case '\0': return "&#xFFFD;";
    default: return {};
  }
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    std::string_view reference = ReferenceFor(c);
    if (reference.empty()) {
      out += c;
    } else {
      out += reference;
    }
  }
  return out;
}

void WriteEscaped(ReportWriter& out, std::string_view text) {
  // Runs of plain bytes go out whole; nothing is allocated per text.
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view reference = ReferenceFor(text[i]);
    if (reference.empty()) continue;
    out.Write(text.substr(start, i - start));
    out.Write(reference);
    start = i + 1;
  }
  out.Write(text.substr(start));
}

void WriteKeyText(ReportWriter& out, std::string_view text, KeyText form) {
  if (form == KeyText::kPlain) {
    WriteEscaped(out, text);
    return;
  }
  // One pass: runs of plain bytes go out whole, between references and
  // breaks (no break after the last byte: the cell ends there anyway).
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool breaks =
        (c == '.' || c == '/' || c == '?' || c == '&' || c == '=') && i + 1 < text.size();
    std::string_view reference = ReferenceFor(c);
    if (reference.empty() && !breaks) continue;
    out.Write(text.substr(start, i - start));
    out.Write(reference.empty() ? text.substr(i, 1) : reference);
    if (breaks) out.Write("<wbr>");
    start = i + 1;
  }
  out.Write(text.substr(start));
}

bool IsScriptAddress(std::string_view address) {
  size_t i = 0;
  while (i < address.size() && static_cast<unsigned char>(address[i]) <= 0x20) ++i;
  // The longest scheme is "javascript:", eleven characters.
  char scheme[12];
  size_t length = 0;
  for (; i < address.size() && length < sizeof(scheme); ++i) {
    char c = address[i];
    if (c == '\t' || c == '\n' || c == '\r') continue;
    scheme[length++] = FoldChar(c);
  }
  std::string_view head(scheme, length);
  return head.starts_with("javascript:") || head.starts_with("vbscript:") ||
         head.starts_with("data:");
}

void WriteKeyLink(ReportWriter& out, std::string_view key, KeyText form) {
  if (IsScriptAddress(key)) {
    WriteKeyText(out, key, form);
  } else {
    WriteLinkToKey(out, key, form);
  }
}

void WriteLinkToKey(ReportWriter& out, std::string_view key, KeyText form) {
  out.Write("<a href=\"");
  WriteEscaped(out, key);
  out.Write("\">");
  WriteKeyText(out, key, form);
  out.Write("</a>");
}

}  // namespace logvane
