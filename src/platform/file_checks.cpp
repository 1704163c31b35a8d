#include "platform/file_checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/diagnostics.h"

namespace logvane {

std::string ReportFileProblem(const std::string& path) {
  if (path.empty()) return "no file name was given";
  size_t slash = path.rfind('/');
  std::string directory(1, slash == 0 ? '/' : '.');
  if (slash != std::string::npos && slash != 0) directory = path.substr(0, slash);
  struct stat info {};
  if (::stat(directory.c_str(), &info) != 0) {
    return "directory " + Quoted(directory) + ": " + SystemReason(errno);
  }
  if (!S_ISDIR(info.st_mode)) return Quoted(directory) + " is not a directory";
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return "it is a directory";
    if (::access(path.c_str(), W_OK) != 0) return SystemReason(errno);
    return {};
  }
  if (::access(directory.c_str(), W_OK | X_OK) != 0) {
    return "directory " + Quoted(directory) + ": " + SystemReason(errno);
  }
  return {};
}

}  // namespace logvane
