// The log a physical line at a time, each line's first bytes up to a width,
// read in large blocks so that no line costs a read call or an allocation.
// The bytes of a line beyond its width are skipped, so one physical line is
// always one record whatever a client writes into it.
#ifndef LOGVANE_INTAKE_LOG_READER_H_
#define LOGVANE_INTAKE_LOG_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "intake/log_source.h"

namespace logvane {

// The marker parser reads the first 1997 bytes of a line; configured
// formats read whole lines up to 64 KiB, and refuse a longer one whole.
inline constexpr size_t kLinePieceWidth = 1997;
inline constexpr size_t kFormatLineWidth = 65536;
// For configured formats a piece is one byte wider than the longest line
// read, so a piece that fills it without a line end tells a line too long.
inline constexpr size_t kFormatPieceWidth = kFormatLineWidth + 1;

enum class ReadStatus { kLine, kEndOfFile, kReadError };

// A line's bytes up to its line end (included) or up to the width; `full`
// when it took the whole width without a line end, so that the rest of its
// line was skipped.
struct LinePiece {
  std::string_view text;
  bool full;
};

class LogLineReader {
 public:
  explicit LogLineReader(LogSource& source, size_t width = kLinePieceWidth,
                         size_t blockSize = 1 << 20);

  // Up to `max` next lines into `pieces`, together at most `maxBytes` long
  // unless the first alone is longer; they stay valid until the next call.
  // Gives how many: 0 once the log has ended or a read failed, which
  // status() then tells. Bytes are delivered as they are: a carriage return
  // before the newline stays part of the piece.
  size_t ReadLines(LinePiece* pieces, size_t max, size_t maxBytes = SIZE_MAX);

  // One line at a time, valid until the next call.
  ReadStatus ReadLogLine(std::string_view* piece, bool* full = nullptr);

  // kLine while lines may come, then how reading ended.
  ReadStatus status() const;

  // The errno value of the read that failed; 0 when none did, or when the
  // source failed without one (damaged compressed data).
  int error() const { return error_; }

  size_t width() const { return width_; }

  // Lines longer than the width, of which only the first bytes were read,
  // and the number of the first (lines count from 1).
  int64_t longLines() const { return longLines_; }
  int64_t firstLongLine() const { return firstLongLine_; }

 private:
  // Reads more bytes after the ones held; false when no more come, or when
  // the block is full and the bytes held cannot move yet (`mayMove` false:
  // pieces of this call lie before them).
  bool Refill(bool mayMove);
  // Skips to after the next line end; false when that needs bytes that
  // cannot be read in this call.
  bool Skip(bool mayMove);

  LogSource& source_;
  const size_t width_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_;
  size_t begin_ = 0;  // start of the bytes not yet handed out
  size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
  int error_ = 0;
  bool skipping_ = false;  // the rest of a full-width line comes next
  size_t skipped_ = 0;     // bytes of it skipped so far, its newline left out
  bool skippedOnlyCr_ = true;
  int64_t lines_ = 0;  // lines handed out
  int64_t longLines_ = 0;
  int64_t firstLongLine_ = 0;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LOG_READER_H_
