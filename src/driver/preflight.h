// Checks made before the log is read, so that a run which would fail or
// disappoint at its end says so at its start.
#ifndef LOGVANE_DRIVER_PREFLIGHT_H_
#define LOGVANE_DRIVER_PREFLIGHT_H_

#include <string>

#include "config/run_settings.h"
#include "platform/diagnostics.h"

namespace logvane {

// Why the report file `path` could not be created, or empty when it looks
// as if it can: its directory is missing, is no directory or may not be
// written, or the file itself is a directory or may not be written.
std::string ReportFileProblem(const std::string& path);

// Why the log `path` cannot be opened for reading, or empty.
std::string LogFileProblem(const std::string& path);

// The warnings of a run whose input and output names are known: a report
// that cannot be created, and bar images at the file system's root.
void WarnBeforeReading(const RunSettings& settings, Diagnostics& diagnostics);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_PREFLIGHT_H_
