#include "report/report_writer.h"

#include <cerrno>
#include <charconv>

#include "platform/diagnostics.h"

namespace logvane {

namespace {

constexpr size_t kFlushSize = 1 << 16;

// The one open of the report, which ProbeReportTarget makes too: a regular
// file (or a new one) is begun beside its target; a device or a FIFO (no
// old content to keep, nothing to rename over) is written directly; an old
// report in a folder that takes no new file is rewritten in place. A probe
// opens nothing that it would change or wait on (an old report in place, a
// FIFO without a reader): for those it asks whether they may be written.
Status OpenReport(Env& env, const std::string& path, bool probe,
                  std::unique_ptr<FileReplacement>* replacement,
                  std::unique_ptr<WritableFile>* direct) {
  if (path.empty()) return Status::Invalid(path, {}, "no file name was given");
  FileInfo old;
  const bool exists = env.Stat(path, &old).ok();
  if (exists && old.kind == FileKind::kDirectory) return Status::FromErrno(EISDIR, path);
  if (exists && old.kind == FileKind::kOther) {
    if (probe) return old.writable ? Status::Ok() : Status::FromErrno(EACCES, path);
    return env.NewWritableFile(path, WriteOptions(), direct);
  }
  Status s = FileReplacement::Begin(env, path, replacement);
  if (!s.ok() && exists && old.writable && (s.sysError() == EACCES || s.sysError() == EPERM)) {
    // The folder takes no new file, but the old report may be written.
    if (probe) return Status::Ok();
    s = env.NewWritableFile(path, WriteOptions(), direct);
  }
  return s;
}

}  // namespace

Status ProbeReportTarget(Env& env, const std::string& path) {
  std::unique_ptr<FileReplacement> replacement;
  std::unique_ptr<WritableFile> direct;
  // The new file beside the target goes again with `replacement`.
  Status s = OpenReport(env, path, /*probe=*/true, &replacement, &direct);
  if (s.ok() || s.sysError() != ENOENT) return s;
  // A directory that is not there is the likely slip: name it.
  std::string directory = DirectoryOf(path);
  FileInfo info;
  Status there = env.Stat(directory, &info);
  if (!there.ok()) {
    return Status::FromErrno(there.sysError(), path, "directory " + Quoted(directory));
  }
  return s;
}

Status ReportWriter::Create(Env& env, const std::string& path, std::unique_ptr<ReportWriter>* out) {
  std::unique_ptr<FileReplacement> replacement;
  std::unique_ptr<WritableFile> direct;
  Status s = OpenReport(env, path, /*probe=*/false, &replacement, &direct);
  if (!s.ok()) return s;
  out->reset(new ReportWriter(std::move(replacement), std::move(direct)));
  return Status::Ok();
}

std::unique_ptr<ReportWriter> ReportWriter::ForStandardOutput(Env& env) {
  return std::unique_ptr<ReportWriter>(new ReportWriter(nullptr, env.StandardOutput()));
}

ReportWriter::ReportWriter(std::unique_ptr<FileReplacement> replacement,
                           std::unique_ptr<WritableFile> direct)
    : replacement_(std::move(replacement)), direct_(std::move(direct)) {
  pending_.reserve(kFlushSize * 2);
}

ReportWriter::ReportWriter(std::string* capture) : capture_(capture) {}

ReportWriter::~ReportWriter() {
  if (closed_) return;
  if (replacement_) return;  // dropped with it: the old report stays
  (void)Close();
}

void ReportWriter::Write(std::string_view text) {
  pending_.append(text);
  if (pending_.size() >= kFlushSize) FlushPending();
}

void ReportWriter::WriteInt(int64_t value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof(digits), value);
  Write(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

void ReportWriter::FlushPending() {
  if (capture_ != nullptr) {
    capture_->append(pending_);
  } else if (failure_.ok()) {
    failure_ = replacement_ ? replacement_->Write(pending_) : direct_->Append(pending_);
  }
  pending_.clear();
}

Status ReportWriter::Close() {
  if (closed_) return failure_;
  closed_ = true;
  FlushPending();
  if (replacement_) {
    // The report is written again by the next run: the folder's sync, a
    // second journal commit, would double the cost of a short run for a
    // name that only a crash in the next moments could lose.
    if (failure_.ok()) failure_ = replacement_->Commit(/*syncFolder=*/false);
    replacement_.reset();  // removes the new file unless it was committed
  } else if (direct_) {
    // Written in place, as before: no old report is kept to sync for.
    Status closed = direct_->Close();
    if (failure_.ok()) failure_ = closed;
  }
  return failure_;
}

}  // namespace logvane
