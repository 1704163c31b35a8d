// ReportWriter: the open report. Text is gathered in one buffer and handed
// to the file in large writes; every write, the sync, the close and the
// rename are checked, so a full disk is reported instead of leaving a cut
// report. A report file is written beside its target and moved over it at
// the end, so a run that fails (or is killed) leaves the old report whole.
#ifndef LOGVANE_REPORT_REPORT_WRITER_H_
#define LOGVANE_REPORT_REPORT_WRITER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/status.h"
#include "platform/env.h"
#include "platform/file_replacement.h"

namespace logvane {

// Whether the report `path` can be created, asked by the very open that
// Create makes (the new file begun beside the target) and then undone:
// nothing is left behind and an existing file is not changed. A file that
// is no regular file (a pipe, a device), and an old report that would be
// rewritten in place, is not opened, only asked whether it may be written.
Status ProbeReportTarget(Env& env, const std::string& path);

class ReportWriter {
 public:
  // The report at `path`. A regular file (or a new one) is replaced at
  // Close(); a device or a FIFO (/dev/null, a pipe) is written directly;
  // an old report in a folder that may not be written is rewritten in
  // place, as it always was. Fails when none of that can start.
  static Status Create(Env& env, const std::string& path, std::unique_ptr<ReportWriter>* out);
  // Writes to standard output, which stays open after Close().
  static std::unique_ptr<ReportWriter> ForStandardOutput(Env& env);
  // Gathers the report into `capture` (tests).
  explicit ReportWriter(std::string* capture);
  // Without a Close() a report being replaced is dropped: the old one stays.
  ~ReportWriter();
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  void Write(std::string_view text);
  void WriteInt(int64_t value);

  // Hands on what is pending and finishes the file (sync, close, and for a
  // replacement the rename over the old report); the first failure of any
  // step, and then the old report is as it was.
  Status Close();

 private:
  ReportWriter(std::unique_ptr<FileReplacement> replacement, std::unique_ptr<WritableFile> direct);
  void FlushPending();

  std::unique_ptr<FileReplacement> replacement_;  // a report file, replaced at Close()
  std::unique_ptr<WritableFile> direct_;          // or a device, a pipe, standard output
  std::string* capture_ = nullptr;
  std::string pending_;
  Status failure_;
  bool closed_ = false;
};

}  // namespace logvane

#endif  // LOGVANE_REPORT_REPORT_WRITER_H_
