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
inline constexpr size_t kPiecesKept = 4;

enum class ReadStatus { kLine, kEndOfFile, kReadError };

class LogLineReader {
 public:
  explicit LogLineReader(LogSource& source, size_t blockSize = 1 << 20);

  // The next piece. It stays valid through the kPiecesKept calls after this
  // one, so a caller may hold a few pieces while it reads on. Bytes are delivered
  // as they are: a carriage return before the newline stays part of the
  // piece.
  ReadStatus ReadLogLine(std::string_view* piece);

  // The errno value of the read that failed; 0 when none did, or when the
  // source failed without one (damaged compressed data).
  int error() const { return error_; }

 private:
  bool Refill();  // false when no more bytes come

  // Two blocks take turns: when one is full, its unfinished tail moves to
  // the front of the other, and the pieces handed out stay where they are
  // until the other block is full in turn, kPiecesKept pieces later at the
  // least.
  LogSource& source_;
  std::unique_ptr<char[]> blocks_[2];
  char* buffer_;  // the block being read
  size_t capacity_;
  size_t begin_ = 0;  // start of the bytes not yet handed out
  size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LOG_READER_H_
