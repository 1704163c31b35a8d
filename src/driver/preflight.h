// Checks made before the log is read, so that a run which would fail or
// disappoint at its end says so at its start.
#ifndef LOGVANE_DRIVER_PREFLIGHT_H_
#define LOGVANE_DRIVER_PREFLIGHT_H_

#include <string>

#include "config/run_settings.h"
#include "platform/diagnostics.h"
#include "platform/env.h"

namespace logvane {

// The warnings of a run whose input and output names are known: a report
// that cannot be created, and bar images at the file system's root.
void WarnBeforeReading(Env& env, const RunSettings& settings, Diagnostics& diagnostics);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_PREFLIGHT_H_
