// The parameter file: one keyword per line, each acted on and echoed as it
// is read.
#ifndef LOGVANE_CONFIG_PARAMETER_FILE_H_
#define LOGVANE_CONFIG_PARAMETER_FILE_H_

#include <functional>
#include <string_view>

#include "config/report_labels.h"
#include "config/run_settings.h"
#include "platform/console.h"
#include "platform/diagnostics.h"

namespace logvane {

// Longest piece of a parameter-file line taken at one time; a longer line
// is read as several lines.
inline constexpr size_t kParameterPieceWidth = 1999;

// Reads the whole file `content` in file order into `settings` and
// `labels`, echoing every recognised keyword line. `lowerPriority` is called
// for PLOW. Returns false when a line ends the run (an exclusion list past
// its capacity, or a name longer than its field); its error line has then
// been written. With `diagnostics`, lines that were probably meant
// otherwise get at most one diagnostic each, placed as `fileName`:LINE.
bool ReadParameterFile(std::string_view content, RunSettings& settings, ReportLabels& labels,
                       Console& console, const std::function<void()>& lowerPriority,
                       Diagnostics* diagnostics = nullptr, std::string_view fileName = {});

// Whether any line of `content` begins with a keyword or a label key: a
// file without one sets nothing.
bool HoldsKeywordLine(std::string_view content);

}  // namespace logvane

#endif  // LOGVANE_CONFIG_PARAMETER_FILE_H_
