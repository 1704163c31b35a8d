// The texts of --help and --version.
#ifndef LOGVANE_DRIVER_USAGE_H_
#define LOGVANE_DRIVER_USAGE_H_

#include <string_view>

namespace logvane {

inline constexpr std::string_view kVersionLine = "Quorvel Logvane v1.7.8\n";

// One screen: the argument, the keywords, where the files go.
std::string_view UsageText();

// What a first argument asks for, when it is not a parameter file.
enum class InfoRequest { kNone, kHelp, kVersion, kCheck };
InfoRequest InfoRequestOf(std::string_view argument);

}  // namespace logvane

#endif  // LOGVANE_DRIVER_USAGE_H_
