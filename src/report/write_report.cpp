#include "report/write_report.h"

namespace logvane {

void WriteReport(RunState& state, ReportWriter& out, const Platform& /*platform*/) {
  out.Write("<html><head>\n<title>");
  out.Write(state.settings.reportTitle);
  out.Write("</title>\n</head><body bgcolor=#f0f0f0>\n");
  out.Write("</body></html>\n");
}

}  // namespace logvane
