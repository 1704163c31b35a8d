#include "platform/file_checks.h"

#include <cerrno>

#include "platform/diagnostics.h"

namespace logvane {

std::string ReportFileProblem(Env& env, const std::string& path) {
  if (path.empty()) return "no file name was given";
  std::string directory = DirectoryOf(path);
  FileInfo info;
  Status s = env.Stat(directory, &info);
  if (!s.ok()) return "directory " + Quoted(directory) + ": " + SystemReason(s.sysError());
  if (info.kind != FileKind::kDirectory) return Quoted(directory) + " is not a directory";
  const bool directoryWritable = info.writable;
  if (env.Stat(path, &info).ok()) {
    if (info.kind == FileKind::kDirectory) return "it is a directory";
    if (!info.writable) return SystemReason(EACCES);
    return {};
  }
  if (!directoryWritable) return "directory " + Quoted(directory) + ": " + SystemReason(EACCES);
  return {};
}

}  // namespace logvane
