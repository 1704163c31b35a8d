// ReadLogLine: the log in pieces of at most 1997 characters, each ending
// after its line end when that fits, read in large blocks so that no piece
// costs a read call or an allocation.
#ifndef LOGVANE_INTAKE_LOG_READER_H_
#define LOGVANE_INTAKE_LOG_READER_H_

#include <cstddef>
#include <memory>
#include <string_view>

#include "intake/log_source.h"

namespace logvane {

inline constexpr size_t kLinePieceWidth = 1997;

enum class ReadStatus { kLine, kEndOfFile, kReadError };

class LogLineReader {
 public:
  explicit LogLineReader(LogSource& source, size_t blockSize = 1 << 20);

  // The next piece, valid until the next call. Bytes are delivered as they
  // are: a carriage return before the newline stays part of the piece.
  ReadStatus ReadLogLine(std::string_view* piece);

 private:
  bool Refill();  // false when no more bytes come

  LogSource& source_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LOG_READER_H_
