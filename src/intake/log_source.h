// Where the bytes of the log come from: a file opened by name or standard
// input (the driver opens it before the reading phase).
#ifndef LOGVANE_INTAKE_LOG_SOURCE_H_
#define LOGVANE_INTAKE_LOG_SOURCE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <sys/types.h>

#include "common/status.h"
#include "platform/byte_input.h"
#include "platform/env.h"

namespace logvane {

class LogSource {
 public:
  virtual ~LogSource() = default;
  // Up to `size` bytes into `buffer`, their count in `*got`: 0 at the end
  // of the log. A failure says why: the file's own error (with its errno),
  // or kCorrupt for damaged compressed data, which has none.
  virtual Status Read(char* buffer, size_t size, size_t* got) = 0;
};

// Opens the named file for reading in byte mode; fails when it cannot be
// opened or is not a file that can be read as a log (a directory).
Status OpenLogFile(Env& env, const std::string& path, std::unique_ptr<LogSource>* log);

// The log on standard input (INFILE=-), taking first whatever a prompt
// has already read ahead of it.
std::unique_ptr<LogSource> LogFromInput(ByteInput& input);

// Whether a log name means standard input.
inline bool IsStandardInputName(const std::string& path) { return path == "-"; }

// A log held in memory (tests, fuzzing).
std::unique_ptr<LogSource> LogFromText(std::string text);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LOG_SOURCE_H_
