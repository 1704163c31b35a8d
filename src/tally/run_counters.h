// The counts of a run that are not tallies of keys: kept by the reading
// phase, read by the report.
#ifndef LOGVANE_TALLY_RUN_COUNTERS_H_
#define LOGVANE_TALLY_RUN_COUNTERS_H_

#include <cstdint>
#include <string>

#include "common/ascii_text.h"
#include "config/date_range.h"
#include "tally/tally_tables.h"

namespace logvane {

// Lines the parser gave up on, kept for the operator's summary: a count and
// the first line number of each kind (indexed by the parser's fault), and a
// copy of the first rejected line. Fixed in size: the reading phase keeps
// nothing that grows with the log.
inline constexpr size_t kLineFaultKinds = 11;
inline constexpr size_t kRejectedSampleWidth = 200;

struct RejectedLines {
  int64_t records = 0;     // lines of the log handed to the parser
  int64_t lineNumber = 0;  // of the line being routed
  int64_t count[kLineFaultKinds] = {};
  int64_t firstLine[kLineFaultKinds] = {};
  int64_t sampleLine = 0;  // 0 until a line is rejected
  FixedText<kRejectedSampleWidth> sample{};
};

struct RunCounters {
  int64_t processedCount = 0;           // "Total Records(Hits) Processed"
  int64_t pagesRequested = 0;           // records whose user differs from the previous
  FixedText<kKeyWidth> previousUser{};  // user of the last record that had one
  // The user of the first record that had one, one byte wider than a key so
  // that a name longer than a key stays longer than any previous user: what
  // a merge needs to carry the previous-user rule across a border.
  bool hasFirstUser = false;
  FixedText<kKeyWidth + 1> firstUser{};
  // The earliest and latest day and hour of a counted record, as
  // yyyymmddhh; 0 while none had one.
  int64_t firstTime = 0;
  int64_t lastTime = 0;
  bool hasExtra1 = false;  // some record reached the extra(1) tally
  bool hasExtra2 = false;
  bool readError = false;  // reading ended on an error, not at the end
  int readErrno = 0;       // its errno value, 0 when it had none
  RejectedLines rejected;
  // Lines longer than the marker parser reads (1997 bytes), of which only
  // the first bytes were read, and the number of the first.
  int64_t longLines = 0;
  int64_t firstLongLine = 0;
  // Records whose byte count is negative or above 2^53, which a byte sum
  // cannot hold exactly, and the line of the first.
  int64_t oddByteCounts = 0;
  int64_t firstOddByteCount = 0;
  // Lines that did not fit a configured log format (counted as processed),
  // and the first of them as read, for the operator.
  int64_t unmatchedLines = 0;
  std::string firstUnmatched;
  // Under FROM or UNTIL: records skipped as outside the range (not counted
  // as processed), and the earliest and the latest clock of those kept, as
  // the log wrote them, ordered as instants.
  int64_t outOfRange = 0;
  int64_t keptClocks = 0;
  RecordTime earliestKept{};
  RecordTime latestKept{};
};

}  // namespace logvane

#endif  // LOGVANE_TALLY_RUN_COUNTERS_H_
