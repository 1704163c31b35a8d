#include "platform/file_replacement.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace logvane {

Status FileReplacement::Begin(Env& env, const std::string& path,
                              std::unique_ptr<FileReplacement>* out) {
  FileInfo old;
  Status present = env.Stat(path, &old);
  const bool exists = present.ok();
  // A file reached through a link is rewritten where the link points, and
  // one that a link names but that is not there yet is made there: the
  // link stays either way.
  const std::string target = !old.linkTarget.empty() ? old.linkTarget : path;
  // An old file that this user may not write is kept as it is.
  if (exists && !old.writable) return Status::FromErrno(EACCES, path);
  WriteOptions options;
  options.exclusive = true;
  if (exists) options.permissions = static_cast<int32_t>(old.permissions);
  std::string fresh = target + "." + std::to_string(::getpid()) + ".new";
  std::unique_ptr<WritableFile> file;
  Status s = env.NewWritableFile(fresh, options, &file);
  if (s.sysError() == EEXIST) {
    // Left behind by a run that was stopped while saving.
    (void)env.RemoveFile(fresh);
    s = env.NewWritableFile(fresh, options, &file);
  }
  if (!s.ok()) return Status::FromErrno(s.sysError() != 0 ? s.sysError() : EIO, path);
  out->reset(new FileReplacement(env, target, std::move(fresh), std::move(file)));
  return Status::Ok();
}

FileReplacement::FileReplacement(Env& env, std::string target, std::string fresh,
                                 std::unique_ptr<WritableFile> file)
    : env_(env), target_(std::move(target)), fresh_(std::move(fresh)), file_(std::move(file)) {}

FileReplacement::~FileReplacement() {
  if (!done_) Discard();
}

Status FileReplacement::Write(std::string_view data) {
  if (failure_.ok() && !done_) failure_ = file_->Append(data);
  return failure_;
}

Status FileReplacement::Commit(bool syncFolder) {
  if (done_) return failure_.ok() ? Status::FromErrno(EINVAL, target_) : failure_;
  if (failure_.ok()) failure_ = file_->Sync();
  Status closed = file_->Close();
  if (failure_.ok()) failure_ = closed;
  if (failure_.ok()) failure_ = env_.Rename(fresh_, target_);
  if (!failure_.ok()) {
    Discard();
    return failure_;
  }
  done_ = true;
  // Not needed for the run: a failure here changes nothing it did.
  if (syncFolder) (void)env_.SyncDirectory(DirectoryOf(target_));
  return Status::Ok();
}

void FileReplacement::Discard() {
  if (file_) (void)file_->Close();
  (void)env_.RemoveFile(fresh_);
  done_ = true;
}

}  // namespace logvane
