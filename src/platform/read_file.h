// Reading a small file whole (the parameter file).
#ifndef LOGVANE_PLATFORM_READ_FILE_H_
#define LOGVANE_PLATFORM_READ_FILE_H_

#include <string>

namespace logvane {

// The whole file at `path` into `content`; false when it cannot be opened
// or read, with the errno value in `error`.
bool ReadWholeFile(const std::string& path, std::string* content, int* error);

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_READ_FILE_H_
