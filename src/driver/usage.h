// The texts of --help and --version.
#ifndef LOGVANE_DRIVER_USAGE_H_
#define LOGVANE_DRIVER_USAGE_H_

#include <string>

namespace logvane {

// "Quorvel Logvane vX.Y.Z" and a line end: the answer to --version.
std::string VersionLine();
// "[Quorvel Logvane (vX.Y.Z)]" and a line end: the first line of a run.
std::string BannerLine();

// The forms of the command line, every option and keyword by group (from
// their own tables), and the exit statuses.
std::string UsageText();

}  // namespace logvane

#endif  // LOGVANE_DRIVER_USAGE_H_
