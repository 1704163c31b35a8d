#include "support/markup_check.h"

#include <set>

namespace logvane::testing {

namespace {

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::string Around(const std::string& html, size_t at) {
  size_t from = at > 40 ? at - 40 : 0;
  return " at " + std::to_string(at) + ": " + html.substr(from, 80);
}

// What a browser makes of an address: references decoded (as "?"), leading
// blanks and controls dropped, tabs and line ends skipped, lower case.
bool IsScriptLink(const std::string& value) {
  std::string address;
  for (size_t v = 0; v < value.size(); ++v) {
    char c = value[v];
    if (c == '&') {
      size_t semicolon = value.find(';', v);
      if (semicolon == std::string::npos) return true;  // a bare "&" is no escaping of ours
      address += '?';
      v = semicolon;
    } else if (c != '\t' && c != '\n' && c != '\r' &&
               !(address.empty() && static_cast<unsigned char>(c) <= 0x20)) {
      address += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
  }
  for (const char* scheme : {"javascript:", "vbscript:", "data:"}) {
    if (address.starts_with(scheme)) return true;
  }
  return false;
}

}  // namespace

MarkupFinding CheckOwnMarkup(const std::string& html) {
  static const std::set<std::string> kElements = {
      "html", "head", "title", "body", "a", "center", "h2", "h3", "h4", "h5",
      "font", "br", "hr", "table", "tr", "th", "td", "img"};
  static const std::set<std::string> kAttributes = {"bgcolor", "name", "href", "size",
                                                    "border", "src", "width", "height"};
  MarkupFinding finding;
  size_t i = 0;
  auto fail = [&](const std::string& problem) {
    finding.problem = problem;
    return finding;
  };
  while (i < html.size()) {
    char c = html[i];
    if (c == '\0') return fail("NUL" + Around(html, i));
    if (c == '>') return fail("stray '>'" + Around(html, i));
    if (c != '<') {
      ++i;
      continue;
    }
    ++finding.tags;
    ++i;
    if (i < html.size() && html[i] == '/') ++i;
    size_t nameStart = i;
    while (i < html.size() && IsNameChar(html[i])) ++i;
    std::string element = html.substr(nameStart, i - nameStart);
    if (!kElements.count(element)) return fail("element '" + element + "'" + Around(html, nameStart));
    for (;;) {
      while (i < html.size() && html[i] == ' ') ++i;
      if (i >= html.size()) return fail("unclosed tag");
      if (html[i] == '>') {
        ++i;
        break;
      }
      size_t attributeStart = i;
      while (i < html.size() && IsNameChar(html[i])) ++i;
      std::string attribute = html.substr(attributeStart, i - attributeStart);
      if (!kAttributes.count(attribute)) {
        return fail("attribute '" + attribute + "'" + Around(html, attributeStart));
      }
      if (i >= html.size() || html[i] != '=') return fail("attribute without value" + Around(html, i));
      ++i;
      std::string value;
      if (i < html.size() && html[i] == '"') {
        size_t close = html.find('"', i + 1);
        if (close == std::string::npos) return fail("unclosed value" + Around(html, i));
        value = html.substr(i + 1, close - i - 1);
        i = close + 1;
        if (i >= html.size() || (html[i] != ' ' && html[i] != '>')) {
          return fail("junk after a value" + Around(html, i));
        }
      } else {
        size_t end = html.find_first_of(" >", i);
        if (end == std::string::npos) return fail("unclosed tag");
        value = html.substr(i, end - i);
        i = end;
      }
      if (value.find('<') != std::string::npos) return fail("'<' in a value" + Around(html, i));
      if (attribute == "href" && IsScriptLink(value)) return fail("script link " + value);
    }
  }
  return finding;
}

}  // namespace logvane::testing
