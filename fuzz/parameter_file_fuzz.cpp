// Any bytes as a parameter file: the reader must end normally, every
// setting it leaves must lie inside its field and range, and its
// diagnostics must be at most one per line, each free of raw bytes; the
// test for a log given as parameter file must hold on them too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/parameter_file.h"
#include "driver/run_settings_sources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  RunSettings settings;
  ReportLabels labels;
  std::string captured;
  Console console(&captured);
  std::function<void()> lower = [] {};
  std::string errors;
  Console errorConsole(&errors);
  Diagnostics diagnostics(&errorConsole);
  std::string_view content(reinterpret_cast<const char*>(data), size);
  ReadParameterFile(content, settings, labels, console, lower, &diagnostics, "p.dat");
  errorConsole.Flush();
  auto check = [](bool ok) {
    if (!ok) std::abort();
  };
  size_t lines = 1;
  for (char c : content) lines += c == '\n';
  size_t diagnosticLines = 0;
  for (size_t start = 0; start < errors.size(); ++diagnosticLines) {
    size_t end = errors.find('\n', start);
    check(end != std::string::npos);
    check(std::string_view(errors).substr(start).starts_with("logvane: p.dat:"));
    for (size_t i = start; i < end; ++i) {
      check(static_cast<unsigned char>(errors[i]) >= 0x20 &&
            static_cast<unsigned char>(errors[i]) <= 0x7e);
    }
    start = end + 1;
  }
  check(diagnosticLines <= lines);
  // The same bytes as a file given where a parameter file was meant: the
  // hint comes only for a file that sets nothing, and stays one line.
  std::string hint = AccessLogHint("p.dat", std::string(content));
  check(hint.empty() || !HoldsKeywordLine(content));
  check(hint.find('\n') == std::string::npos);
  for (const std::string& log : settings.inputFiles) check(log.size() <= kFileNameWidth);
  check(settings.inputFile.size() <= kFileNameWidth);
  check(settings.outputFile.size() <= kFileNameWidth);
  check(settings.reportTitle.size() <= kTitleWidth);
  check(settings.userLinkTemplate.size() <= kUserLinkTemplateWidth);
  check(settings.barImageLocation.size() <= kBarImageLocationWidth);
  check(settings.robotsMode.size() <= kRobotsModeWidth);
  check(settings.selectText.size() <= kSelectTextWidth);
  check(settings.maxUsers >= 10 && settings.maxUsers <= 9999);
  check(settings.maxPages >= 1 && settings.maxPages <= 9999);
  check(settings.maxNotFound >= 1 && settings.maxNotFound <= 999);
  check(settings.maxDirs >= 1 && settings.maxDirs <= 999);
  check(settings.maxNations >= 10 && settings.maxNations <= 500);
  check(settings.maxExtra1 >= 1 && settings.maxExtra1 <= 999);
  check(settings.maxExtra2 >= 1 && settings.maxExtra2 <= 999);
  check(settings.lookupTimeout != 0);
  check(settings.dnsThreads >= 1 && settings.dnsThreads <= 64);
  for (const auto* list : {&settings.excludedAddresses, &settings.excludedTypes,
                           &settings.excludedExtra1, &settings.excludedExtra2}) {
    check(list->size() <= kExclusionListCapacity);
  }
  for (int key = 1; key <= kLabelCount; ++key) check(labels[key].size() <= kLabelWidth);
  return 0;
}
