// The log line parser: every field of a line is found by a few searches
// for one marker character from a fixed starting point. ParseLogLine calls
// the finders in the one order that works and only as far as the line gets,
// since each finder relies on the positions that the earlier ones recorded.
#ifndef LOGVANE_INTAKE_LOG_PARSER_H_
#define LOGVANE_INTAKE_LOG_PARSER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/ascii_text.h"
#include "config/date_range.h"
#include "intake/request_rules.h"

namespace logvane {

// Several markers count only within the first 250 characters of a line.
inline constexpr size_t kMarkerLimit = 250;

inline constexpr size_t kRequestTextWidth = 99;
inline constexpr size_t kClientAddressWidth = 100;
inline constexpr size_t kUserNameWidth = 100;
inline constexpr size_t kDateTextWidth = 11;
inline constexpr size_t kHourTextWidth = 2;
inline constexpr size_t kPageWidth = 99;
inline constexpr size_t kExtraWidth = 99;

// Why the parsing of a line stopped; each kind has its console text.
enum class LineFault : uint8_t {
  kNone,
  kNoBracket,
  kBadFormat,
  kNoHour,
  kNoPage,
  kPageTooFar,
  kBadPageA,
  kBadPageB,
  kBadPageD,
  // The line does not fit the configured log format: it is counted and
  // feeds nothing, and standard error reports it at the end of the run.
  kNoMatch,
  // The line is longer than a configured format reads (64 KiB): counted,
  // refused whole, and reported at the end of the run.
  kTooLong,
};
inline constexpr size_t kLineFaultCount = 11;  // kinds, kNone included

// What a line says of the time taken to serve it.
enum class TimeTaken : uint8_t {
  kNoField,  // its format has no such field (the marker parser's never has)
  kValue,    // timeTakenMicros holds it
  kNoValue,  // "-", text, a negative or too large number
};

// Text that a format-driven parser decodes (JSON escapes) or puts together
// (a request from its method, URI and protocol) fits in this much: a line
// read by a configured format is at most 64 KiB and a byte wide (its line
// end), and takes at most twice its length plus 3 bytes.
inline constexpr size_t kRecordTextWidth = 2 * (64 * 1024 + 1) + 3;

// The fields of one line. Texts that are lowercased live in the record's
// own fixed stores; the others are views into `line` and live as long as it.
// A record is reused for every line: BeginRecord resets it.
struct LogRecord {
  // What routing reads of every line comes first, in one cache line.
  std::string_view line;
  int64_t byteCount;  // 0 when not found
  std::string_view userName;
  int32_t statusCode;  // 0 when not found
  // How far ParseLogLine got: each fault, once not kNone, ends the line's
  // fields there; the fields found before it stay valid.
  LineFault bracketFault;
  bool selected;  // SELECT is off or the request holds its text
  LineFault hourFault;
  LineFault pageFault;
  bool hasClientAddress;
  bool hasExtra1;
  bool hasExtra2;
  // Set by the format-driven parsers alone; read only when the format has
  // a time-taken field.
  TimeTaken timeTaken;
  uint64_t timeTakenMicros;

  FixedText<kRequestTextWidth> requestText;  // lowercased
  std::string_view clientAddress;
  FixedText<kDateTextWidth> dateText;  // dd/Mon/yyyy
  std::string_view hourText;
  FixedText<kPageWidth> page;  // lowercased
  std::string_view directory;
  std::string_view extra1;
  std::string_view extra2;
  // The user agent whole (in combined logs the second extra, uncut),
  // whichever field the Extra 2 section shows.
  std::string_view userAgent;
  bool hasUserAgent;

  // Positions found on the way (0-based), for the finders that follow.
  size_t bracket;  // the "[" of the date
  bool twoDigitDay;
  size_t requestOpen;  // the request's quotes, searched from the first "]"
  size_t requestClose;
  size_t firstBlank;
  size_t urlStart;   // just after the first blank after the first quote
  size_t urlEnd;     // where the page text ends (before a cut query)
  size_t urlClose;   // the first quote after that blank
  size_t extrasEnd;  // just past the last extra's closing quote

  // The hour of a format-driven parser's time; BeginRecord leaves it alone.
  char hourDigits[2];

  // The record's full clock, read only under FROM or UNTIL (readClock):
  // by the format-driven parsers, and for the marker parser's lines by
  // ReadBracketClock.
  bool hasClock;
  RecordTime clock;
};

// What changes how a line is read; settings of the whole run.
struct LineFormat {
  bool selectOn = false;
  std::string_view selectText;  // lower case
  bool userFromField2 = false;
  bool proxyMode = false;
  bool fullPageDetails = false;
  bool readClock = false;  // fill the record's clock (FROM, UNTIL)
};

// A candidate name under USER=FIELD2 (an ident or authuser field) is taken
// when it is more than a "-".
inline bool IsUserName(std::string_view candidate) {
  return candidate.size() > 1 && candidate != "-";
}

// Finds every field of `line` into `record`, in the order the finders need
// and only as far as the line allows: the bracket, the byte count, the
// request (under SELECT), the client and user, the date, the hour, the
// page, its directory, the response code and the two extras. A line that
// does not pass SELECT keeps only its bracket and byte count.
void ParseLogLine(std::string_view line, const LineFormat& format, LogRecord& record);

// How ParseLogLine finds the markers of a line: searched one at a time
// (the reference, and the finders below), or marked in one pass over the
// line, a bit per byte and marker, and then looked up bit by bit. The marks
// come from plain code, AVX2 or AVX-512; each scan gives the same record.
enum class MarkerScan { kSearch, kMarksPortable, kMarksAvx2, kMarksAvx512 };

// Whether this build and this processor can use `scan`.
bool MarkerScanAvailable(MarkerScan scan);

// The fastest scan available here; ParseLogLine uses it.
MarkerScan FastestMarkerScan();

// ParseLogLine with a chosen scan (an unavailable one searches).
void ParseLogLineWith(MarkerScan scan, std::string_view line, const LineFormat& format,
                      LogRecord& record);

// Resets `record` for `line`; no field of the previous line survives.
void BeginRecord(LogRecord& record, std::string_view line);

// The "[" within the first 250 characters and the width of the day.
LineFault FindBracket(LogRecord& record);

// Bytes sent: the number after the second blank after the request's
// closing quote. Also records the request's quotes. Needs nothing before.
void FindByteCount(LogRecord& record);

// The request between its quotes, lowercased. Needs FindByteCount.
void FindRequestText(LogRecord& record);

// The text before the first blank; false when the line has no blank within
// its first 250 characters.
bool FindClientAddress(LogRecord& record);

// The user: the client address, or under USER=FIELD2 the authuser or ident
// field when it holds a name. Needs FindBracket and FindClientAddress.
void FindUserName(LogRecord& record, bool userFromField2);

// dd/Mon/yyyy, the day padded to two digits. Needs FindBracket.
void FindDate(LogRecord& record);

// The two characters after the first ":" that follows the date's "[", so an
// IPv6 client address cannot be taken for the time. Needs FindBracket.
LineFault FindHour(LogRecord& record);

// The URL's path (in proxy mode its scheme and host), lowercased; the query
// is cut unless `fullPageDetails`. Needs nothing before.
LineFault FindPage(LogRecord& record, bool proxyMode, bool fullPageDetails);

// The URL's first path component, or "/". Needs a successful FindPage.
void FindDirectory(LogRecord& record);

// The response code after the URL's closing quote. Needs FindPage.
void FindStatusCode(LogRecord& record);

// The full clock of the bracket date ([dd/Mon/yyyy:hh:mm:ss zone]) into
// the record's clock, which only FROM and UNTIL read; needs FindBracket
// alone, so a line SELECT passed over is placed too.
void ReadBracketClock(LogRecord& record);

// The two quoted fields after the byte count. Needs FindStatusCode.
// Records where the last one found ends.
void FindExtras(LogRecord& record);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LOG_PARSER_H_
