// Whether a file can be created, asked before the work that ends in
// creating it, so a run that would fail at its end says so at its start.
#ifndef LOGVANE_PLATFORM_FILE_CHECKS_H_
#define LOGVANE_PLATFORM_FILE_CHECKS_H_

#include <string>

#include "platform/env.h"

namespace logvane {

// Why the file `path` could not be created or rewritten, or empty when it
// looks as if it can: its directory is missing, is no directory or may not
// be written, or the file itself is a directory or may not be written.
std::string ReportFileProblem(Env& env, const std::string& path);

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_FILE_CHECKS_H_
