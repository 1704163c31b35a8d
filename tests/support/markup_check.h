// Reads an HTML report (classic or modern) tag by tag, as a browser's
// tokenizer reads tags, and tells what in it the report does not write
// itself: an unknown element, an attribute the report never gives that
// element (or one given twice), a value the report never gives that
// attribute, a quote that ends a value where the report's never ends, a
// stylesheet other than its own, a script address in a link, a stray "<" or
// ">" or a NUL byte in the text.
#ifndef LOGVANE_TESTS_SUPPORT_MARKUP_CHECK_H_
#define LOGVANE_TESTS_SUPPORT_MARKUP_CHECK_H_

#include <string>

namespace logvane::testing {

struct MarkupFinding {
  std::string problem;  // empty when the document holds only the report's own markup
  int tags = 0;         // tags read
};

MarkupFinding CheckOwnMarkup(const std::string& html);

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_MARKUP_CHECK_H_
