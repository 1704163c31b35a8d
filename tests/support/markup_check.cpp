#include "support/markup_check.h"

#include <map>
#include <regex>
#include <set>

#include "report/modern_style.h"

namespace logvane::testing {

namespace {

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
  // The modern crawler section's bar of people, crawler and AI shares.
  static const std::regex kShares(
      "display:flex;height:1\\.1rem;border-radius:4px;overflow:hidden;margin:0 0 1rem;"
      "background:var\\(--alt\\)|flex:0 0 "
      "[0-9]+\\.[0-9]{2}%;background:(var\\(--(bar|mut)\\)|#d9822b)");
  static const std::regex kChartColumn("[0-9]+: -?[0-9]+");
  static const std::set<std::string> kClasses = {"sum", "when", "card", "card par", "tw",
                                                 "k1",  "k2",   "k1 g", "k2 g",     "tot",
                                                 "top", "hc",   "note"};
  static const std::set<std::string> kIds = {"TOP", "TU",  "BD",  "BA", "BH", "TP", "TD", "TN",
                                             "BC",  "TE1", "TE2", "TB", "TO", "TC", "RT"};
  static const std::set<std::string> kNames = {"TOP", "TU", "BD", "BA",       "BH",          "TP",
                                               "TD",  "TN", "BC", "TE1",      "TE2",         "TB",
                                               "TO",  "TC", "RT", "viewport", "color-scheme"};
  if (attribute == "name") return kNames.count(value) > 0;
  if (attribute == "class") return kClasses.count(value) > 0;
  if (attribute == "id") return kIds.count(value) > 0;
  if (attribute == "style") {
    return std::regex_match(value, kBar) || std::regex_match(value, kShares);
  }
  if (attribute == "aria-label") return std::regex_match(value, kNumber);
  if (attribute == "title") return std::regex_match(value, kChartColumn);
  if (attribute == "role") return value == "img";
  if (attribute == "points")
    return std::regex_match(value, std::regex("[0-9]+,-?[0-9]+( [0-9]+,-?[0-9]+)*|"));
  if (attribute == "fill" || attribute == "stroke")
    return value == "none" || value == "currentColor";
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

// The attributes the report gives each of its elements, classic and modern.
const std::map<std::string, std::set<std::string>>& OwnElements() {
  static const std::map<std::string, std::set<std::string>> kElements = {
      {"html", {"lang"}},
      {"head", {}},
      {"title", {}},
      {"body", {"bgcolor"}},
      {"a", {"name", "href", "class"}},
      {"center", {}},
      {"h1", {}},
      {"h2", {}},
      {"h3", {}},
      {"h4", {}},
      {"h5", {}},
      {"font", {"size"}},
      {"br", {}},
      {"hr", {}},
      {"table", {"border", "class"}},
      {"tr", {}},
      {"th", {}},
      {"td", {}},
      {"img", {"src", "width", "height"}},
      {"meta", {"charset", "name", "content", "http-equiv"}},
      {"style", {}},
      {"header", {"id"}},
      {"dl", {"class"}},
      {"dt", {}},
      {"dd", {}},
      {"div", {"class", "aria-hidden", "style"}},
      {"p", {"class"}},
      {"b", {}},
      {"nav", {}},
      {"main", {}},
      {"section", {"id", "class"}},
      {"thead", {}},
      {"tbody", {}},
      {"i", {"role", "aria-label", "style", "title"}},
      {"span", {"style"}},
      {"ul", {}},
      {"li", {}},
      {"footer", {}},
      {"wbr", {}},
      // The response times' chart.
      {"svg", {"viewbox", "width", "aria-hidden"}},
      {"polyline", {"points", "fill", "stroke", "stroke-width", "stroke-dasharray"}},
      {"text", {"x", "y", "font-size", "text-anchor", "fill"}},
  };
  return kElements;
}

// What ends a tag name, an attribute name or an unquoted value for a
// browser (a CR reaches its tokenizer as a line feed).
bool IsTagSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

MarkupFinding CheckOwnMarkup(const std::string& html) {
  // Tags are read as a browser's tokenizer reads them: names end at a blank
  // of any kind, "/" or ">" (an attribute name at "=" too) and are taken in
  // lower case; a value is double-quoted, single-quoted or unquoted (ending
  // at a blank or ">"). So a quote that ends a value early, wherever the
  // value stands, shows as the attribute a browser would read after it.
  MarkupFinding finding;
  size_t i = 0;
  const std::string doctype = "<!DOCTYPE html>\n";
  if (html.compare(0, doctype.size(), doctype) == 0) i = doctype.size();
  auto fail = [&](const std::string& problem) {
    finding.problem = problem;
    return finding;
  };
  auto readName = [&](bool attribute) {
    std::string name;
    while (i < html.size() && !IsTagSpace(html[i]) && html[i] != '/' && html[i] != '>' &&
           !(attribute && html[i] == '=' && !name.empty())) {
      name += Lower(html[i++]);
    }
    return name;
  };
  auto skipSpace = [&] {
    while (i < html.size() && IsTagSpace(html[i])) ++i;
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
    const bool endTag = i < html.size() && html[i] == '/';
    if (endTag) ++i;
    size_t nameStart = i;
    std::string element = readName(false);
    auto own = OwnElements().find(element);
    if (own == OwnElements().end())
      return fail("element '" + element + "'" + Around(html, nameStart));
    bool opensStylesheet = element == "style" && !endTag;
    std::set<std::string> seen;
    for (;;) {
      skipSpace();
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
      if (html[i] == '/') return fail("'/' in a tag" + Around(html, i));
      size_t attributeStart = i;
      std::string attribute = readName(true);
      if (endTag || !own->second.count(attribute)) {
        return fail("attribute '" + attribute + "' of " + element + Around(html, attributeStart));
      }
      if (!seen.insert(attribute).second) {
        return fail("attribute '" + attribute + "' twice" + Around(html, attributeStart));
      }
      skipSpace();
      if (i >= html.size() || html[i] != '=')
        return fail("attribute without value" + Around(html, i));
      ++i;
      skipSpace();
      std::string value;
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        size_t close = html.find(html[i], i + 1);
        if (close == std::string::npos) return fail("unclosed value" + Around(html, i));
        value = html.substr(i + 1, close - i - 1);
        i = close + 1;
        // A browser reads whatever touches the closing quote as the next
        // attribute; the report always leaves a blank or ends the tag.
        if (i >= html.size()) return fail("unclosed tag");
        if (!IsTagSpace(html[i]) && html[i] != '>') {
          size_t junk = i;
          return fail("attribute '" + readName(true) + "' of " + element +
                      " gained after a quoted value" + Around(html, junk));
        }
      } else {
        size_t start = i;
        while (i < html.size() && !IsTagSpace(html[i]) && html[i] != '>') ++i;
        if (i >= html.size()) return fail("unclosed tag");
        value = html.substr(start, i - start);
        if (value.empty()) return fail("attribute without value" + Around(html, i));
      }
      if (value.find('<') != std::string::npos) return fail("'<' in a value" + Around(html, i));
      if (attribute == "href" && IsScriptLink(value)) return fail("script link " + value);
      if (!OwnValue(attribute, value)) return fail(attribute + "=" + value + Around(html, i));
    }
  }
  return finding;
}

}  // namespace logvane::testing
