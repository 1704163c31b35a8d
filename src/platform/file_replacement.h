// Replacing a file atomically through the Env: the new bytes go to a file
// beside the target, which is synced and renamed over it only once every
// write has succeeded. A reader, a crash or a full disk finds the old file
// whole or the new one whole, never a mixture.
#ifndef LOGVANE_PLATFORM_FILE_REPLACEMENT_H_
#define LOGVANE_PLATFORM_FILE_REPLACEMENT_H_

#include <memory>
#include <string>
#include <string_view>

#include "common/status.h"
#include "platform/env.h"

namespace logvane {

class FileReplacement {
 public:
  // Creates the new file beside the file at `path` (where a link there
  // points, so the link stays, even when it names no file yet) with the
  // old file's permissions. Fails when
  // the new file cannot be created, or the old file may not be written.
  static Status Begin(Env& env, const std::string& path, std::unique_ptr<FileReplacement>* out);
  // Without a successful Commit the new file is removed and the old one
  // stays as it was.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // The first failure, kept: later writes do nothing.
  Status Write(std::string_view data);
  // Syncs and closes the new file and renames it over the target; on a
  // failure the new file is removed. With `syncFolder` the folder is synced
  // too, so the new name itself survives a crash (either name holds a whole
  // file without it); it costs a second journal commit.
  Status Commit(bool syncFolder = true);

  const std::string& target() const { return target_; }

 private:
  FileReplacement(Env& env, std::string target, std::string fresh,
                  std::unique_ptr<WritableFile> file);
  void Discard();

  Env& env_;
  std::string target_;
  std::string fresh_;
  std::unique_ptr<WritableFile> file_;
  Status failure_;
  bool done_ = false;
};

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_FILE_REPLACEMENT_H_
