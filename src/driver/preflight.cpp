#include "driver/preflight.h"

#include "platform/file_checks.h"

namespace logvane {

void WarnBeforeReading(Env& env, const RunSettings& settings, Diagnostics& diagnostics) {
  std::string problem =
      settings.outputFile.empty() ? std::string() : ReportFileProblem(env, settings.outputFile);
  if (!problem.empty()) {
    diagnostics.Report(Severity::kWarning, "",
                       "the report " + Quoted(settings.outputFile) + " will not be writable (" +
                           problem + "): the run will read the whole log and then fail");
  }
  // The modern page draws its bars itself: no image to point at.
  if (settings.barImageLocation.empty() && settings.reportStyle == ReportStyle::kClassic) {
    diagnostics.Report(Severity::kNote, "",
                       "the report's bars point at /hstb.gif, the root of the file system "
                       "when the report is opened as a file; put hstb.gif beside the report "
                       "and add the line hstb_loc=. to the parameter file");
  }
}

}  // namespace logvane
