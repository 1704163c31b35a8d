// The modern report's one stylesheet: light and dark themes by the reader's
// colour scheme, a layout that fits a 390-pixel phone, and a print form.
#ifndef LOGVANE_REPORT_MODERN_STYLE_H_
#define LOGVANE_REPORT_MODERN_STYLE_H_

#include <string_view>

namespace logvane {

// The rules, without the <style> element. Bars are drawn from the custom
// property --w (the classic bar width) against --gw (the graph width),
// which the page sets after these rules.
std::string_view ModernStylesheet();

}  // namespace logvane

#endif  // LOGVANE_REPORT_MODERN_STYLE_H_
