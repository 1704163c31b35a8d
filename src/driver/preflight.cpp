#include "driver/preflight.h"

#include "driver/run_sequence.h"
#include "report/report_writer.h"

namespace logvane {

void WarnBeforeReading(Env& env, const RunSettings& settings, Diagnostics& diagnostics) {
  // Standard output (OUTFILE=-) is there already.
  Status probe = settings.outputFile.empty() || IsStandardOutputName(settings.outputFile)
                     ? Status::Ok()
                     : ProbeReportTarget(env, settings.outputFile);
  if (!probe.ok()) {
    diagnostics.Report(Severity::kWarning, "",
                       "the report " + Quoted(settings.outputFile) + " will not be writable (" +
                           probe.Reason() + "): the run will read the whole log and then fail");
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
