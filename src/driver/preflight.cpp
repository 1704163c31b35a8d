#include "driver/preflight.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

std::string LogFileProblem(const std::string& path) {
  if (path.empty()) return "no file name was given";
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return SystemReason(errno);
  struct stat info {};
  std::string problem;
  if (::fstat(fd, &info) != 0) {
    problem = SystemReason(errno);
  } else if (S_ISDIR(info.st_mode)) {
    problem = SystemReason(EISDIR);
  }
  ::close(fd);
  return problem;
}

void WarnBeforeReading(const RunSettings& settings, Diagnostics& diagnostics) {
  std::string problem =
      settings.outputFile.empty() ? std::string() : ReportFileProblem(settings.outputFile);
  if (!problem.empty()) {
    diagnostics.Report(Severity::kWarning, "",
                       "the report " + Quoted(settings.outputFile) +
                           " will not be writable (" + problem +
                           "): the run will read the whole log and then fail");
  }
  if (settings.barImageLocation.empty()) {
    diagnostics.Report(Severity::kNote, "",
                       "the report's bars point at /hstb.gif, the root of the file system "
                       "when the report is opened as a file; put hstb.gif beside the report "
                       "and add the line hstb_loc=. to the parameter file");
  }
}

}  // namespace logvane
