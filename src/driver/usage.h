// The texts of --help and --version.
#ifndef LOGVANE_DRIVER_USAGE_H_
#define LOGVANE_DRIVER_USAGE_H_

#include <string>
#include <string_view>

namespace logvane {

// "Quorvel Logvane vX.Y.Z" and a line end: the answer to --version.
std::string VersionLine();
// "[Quorvel Logvane (vX.Y.Z)]" and a line end: the first line of a run.
std::string BannerLine();

// One screen: the argument, the keywords, where the files go.
std::string_view UsageText();

// What a first argument asks for, when it is not a parameter file.
enum class InfoRequest { kNone, kHelp, kVersion, kCheck };
InfoRequest InfoRequestOf(std::string_view argument);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_USAGE_H_
