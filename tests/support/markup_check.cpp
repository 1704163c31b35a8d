#include "support/markup_check.h"

#include <regex>
#include <set>

#include "report/modern_style.h"

namespace logvane::testing {

namespace {

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }

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

// The values the report itself gives to the attributes that carry no text
// from outside; any other value there is foreign.
bool OwnValue(const std::string& attribute, const std::string& value) {
  static const std::regex kNumber("-?[0-9]+");
  static const std::regex kBar("--w:-?[0-9]+");
  static const std::regex kChartColumn("[0-9]+: -?[0-9]+");
  static const std::set<std::string> kClasses = {"sum", "when", "card", "card par", "tw",
                                                 "k1",  "k2",   "k1 g", "k2 g",     "tot",
                                                 "top", "hc",   "note"};
  static const std::set<std::string> kIds = {"TOP", "TU", "BD", "BA",  "BH", "TP",
                                             "TD",  "TN", "BC", "TE1", "TE2"};
  if (attribute == "class") return kClasses.count(value) > 0;
  if (attribute == "id") return kIds.count(value) > 0;
  if (attribute == "style") return std::regex_match(value, kBar);
  if (attribute == "aria-label") return std::regex_match(value, kNumber);
  if (attribute == "title") return std::regex_match(value, kChartColumn);
  if (attribute == "role") return value == "img";
  if (attribute == "aria-hidden") return value == "true";
  if (attribute == "lang") return value == "en";
  if (attribute == "charset") return value == "utf-8";
  if (attribute == "http-equiv") return value == "Content-Security-Policy";
  if (attribute == "content") {
    return value == "width=device-width,initial-scale=1" || value == "light dark" ||
           value ==
               "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; "
               "form-action 'none'";
  }
  return true;
}

// The stylesheet of the modern report: its fixed rules and the graph width.
bool OwnStylesheet(const std::string& text) {
  static const std::regex kGraphWidth(":root\\{--gw:[0-9]+\\}\n");
  std::string rules(logvane::ModernStylesheet());
  return text.size() > rules.size() + 1 && text[0] == '\n' &&
         text.compare(1, rules.size(), rules) == 0 &&
         std::regex_match(text.substr(rules.size() + 1), kGraphWidth);
}

}  // namespace

MarkupFinding CheckOwnMarkup(const std::string& html) {
  // The classic report's elements and attributes, then the modern one's.
  static const std::set<std::string> kElements = {
      "html",    "head",  "title", "body",  "a",    "center", "h2", "h3",     "h4",   "h5",
      "font",    "br",    "hr",    "table", "tr",   "th",     "td", "img",    "meta", "style",
      "header",  "h1",    "dl",    "dt",    "dd",   "div",    "p",  "b",      "nav",  "main",
      "section", "thead", "tbody", "i",     "span", "ul",     "li", "footer", "wbr"};
  static const std::set<std::string> kAttributes = {
      "bgcolor", "name",       "href",        "size",    "border",     "src",   "width",
      "height",  "lang",       "charset",     "content", "http-equiv", "class", "id",
      "role",    "aria-label", "aria-hidden", "style",   "title"};
  MarkupFinding finding;
  size_t i = 0;
  const std::string doctype = "<!DOCTYPE html>\n";
  if (html.compare(0, doctype.size(), doctype) == 0) i = doctype.size();
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
    if (!kElements.count(element))
      return fail("element '" + element + "'" + Around(html, nameStart));
    bool opensStylesheet = element == "style" && html[nameStart - 1] == '<';
    for (;;) {
      while (i < html.size() && html[i] == ' ') ++i;
      if (i >= html.size()) return fail("unclosed tag");
      if (html[i] == '>') {
        ++i;
        if (opensStylesheet) {
          // Its content is no markup: it must be the report's own rules.
          size_t close = html.find("</style>", i);
          if (close == std::string::npos || !OwnStylesheet(html.substr(i, close - i))) {
            return fail("foreign stylesheet" + Around(html, i));
          }
          i = close;
        }
        break;
      }
      size_t attributeStart = i;
      while (i < html.size() && IsNameChar(html[i])) ++i;
      std::string attribute = html.substr(attributeStart, i - attributeStart);
      if (!kAttributes.count(attribute)) {
        return fail("attribute '" + attribute + "'" + Around(html, attributeStart));
      }
      if (i >= html.size() || html[i] != '=')
        return fail("attribute without value" + Around(html, i));
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
      if (!OwnValue(attribute, value)) return fail(attribute + "=" + value + Around(html, i));
    }
  }
  return finding;
}

}  // namespace logvane::testing
