// ReportWriter: the open report file. Text is gathered in one buffer and
// handed to the file in large writes; every write and the final close are
// checked, so a full disk is reported instead of leaving a cut report.
#ifndef LOGVANE_REPORT_REPORT_WRITER_H_
#define LOGVANE_REPORT_REPORT_WRITER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/status.h"
#include "platform/file_io.h"

namespace logvane {

// Whether the report `path` can be created, asked by the very open that
// Create makes and then undone: nothing is left behind and an existing file
// is not changed. A file that is no regular file (a pipe, a device) is not
// opened, only asked whether it may be written.
Status ProbeReportTarget(const std::string& path);

class ReportWriter {
 public:
  // Creates (or truncates) the file; none when it cannot be created.
  static std::unique_ptr<ReportWriter> Create(const std::string& path,
                                              const FileCalls& calls = SystemFileCalls());
  // Writes to standard output, which stays open after Close().
  static std::unique_ptr<ReportWriter> ForStandardOutput(
      const FileCalls& calls = SystemFileCalls());
  // Gathers the report into `capture` (tests).
  explicit ReportWriter(std::string* capture);
  ~ReportWriter();
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  void Write(std::string_view text);
  void WriteInt(int64_t value);

  // Hands on what is pending and closes the file; false when any write or
  // the close failed.
  bool Close();
  // The errno value of the first write or close that failed, else 0.
  int error() const { return error_; }

 private:
  ReportWriter(int fd, bool owned, const FileCalls& calls);
  void FlushPending();

  int fd_ = -1;
  bool owned_ = true;  // closed by Close()
  const FileCalls* calls_ = nullptr;
  std::string* capture_ = nullptr;
  std::string pending_;
  bool failed_ = false;
  uint64_t written_ = 0;  // bytes the file took, where Close cuts it
  int error_ = 0;
  bool closed_ = false;
};

}  // namespace logvane

#endif  // LOGVANE_REPORT_REPORT_WRITER_H_
