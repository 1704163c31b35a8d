// The byte format of a state file: a header (magic, format version, a
// byte-order mark), then sections, each [u32 kind][u32 flags][u64 length]
// [payload][u64 XXH3-64 of the payload], ended by an END section. A state
// is self-delimiting, so states written one after another are a stream.
// Integers are little-endian and fixed-width, texts length-prefixed (u32),
// doubles their IEEE-754 bits. doc/state-format.md is the full description.
#ifndef LOGVANE_STATE_STATE_FORMAT_H_
#define LOGVANE_STATE_STATE_FORMAT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "common/status.h"
#include "intake/log_source.h"

namespace logvane {

inline constexpr std::string_view kStateMagic{"LVSTATE\x1a", 8};
inline constexpr uint16_t kStateMajorVersion = 1;
inline constexpr uint16_t kStateMinorVersion = 0;
inline constexpr uint32_t kByteOrderMark = 0x01020304;
inline constexpr size_t kStateHeaderSize = 16;
inline constexpr size_t kSectionHeaderSize = 16;
// No section of a state comes near this; a length beyond it is damage.
inline constexpr uint64_t kLargestSection = uint64_t{1} << 30;

// A reader that does not know a section's kind may skip it when this flag
// is set (a later, optional addition); otherwise it must refuse the state.
inline constexpr uint32_t kSectionSkippable = 1;

enum SectionKind : uint32_t {
  kEndSection = 0,
  kSettingsSection = 1,
  kProvenanceSection = 2,
  kCountersSection = 3,
  // One per keyed table, in the reading phase's feed order.
  kFirstTableSection = 16,
  // TABLES=SUMMARY: each ranked table's evictions, bound and per-slot
  // overcounts. Not skippable: without it the tables' hits read as exact.
  kSummarySection = 24,
  // DISTINCT=ON: the distinct clients of the log, and clients and visitors
  // of each day. Skippable: nothing else depends on it.
  kDistinctSection = 25,
  // The user-agent tallies (AGENTS), written only by a run that classifies
  // agents, each with kSectionSkippable: lines by visitor class, the
  // browser and system families, the crawlers, the AI crawlers' pages.
  kAgentClassesSection = 28,
  kAgentFamiliesSection = 29,
  kCrawlersSection = 30,
  kAiPagesSection = 31,
  // The records FROM/UNTIL skipped and the span of those kept; the response
  // times by hour slot (the log's are their sum) and by page slot. Each is
  // written only when it holds something; 35 is kept for the times.
  kDateRangeSection = 32,
  kHourTimesSection = 33,
  kPageTimesSection = 34,
};

// Builds the payload of one section.
class PayloadWriter {
 public:
  void U8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void Bool(bool v) { U8(v ? 1 : 0); }
  void U32(uint32_t v);
  void U64(uint64_t v);
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void F64(double v);
  void Text(std::string_view text);
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Appends the header, a section (framed and checksummed) or the END
// section to `out`.
void AppendStateHeader(std::string* out);
void AppendSection(std::string* out, uint32_t kind, uint32_t flags, std::string_view payload);
void AppendEndSection(std::string* out);

// Reads the values of one section's payload. A value that is not there or
// not valid sets the reader's failure, naming the byte offset in the file;
// later reads then give zeroes, so a decoder checks ok() once at the end.
class PayloadReader {
 public:
  PayloadReader(std::string_view payload, uint64_t fileOffset, std::string_view file)
      : payload_(payload), base_(fileOffset), file_(file) {}
  uint8_t U8();
  bool Bool();
  uint32_t U32();
  uint64_t U64();
  int64_t I64() { return static_cast<int64_t>(U64()); }
  double F64();
  // A text of at most `width` bytes.
  std::string_view Text(size_t width);
  // A count of items, each at least `itemBytes` long, that the rest of the
  // payload can hold and at most `most`.
  uint64_t Count(size_t itemBytes, uint64_t most);
  // Fails at the offset of the value read last.
  void Fail(const std::string& reason);
  // Fails unless the whole payload was read.
  void ExpectEnd();
  bool ok() const { return status_.ok(); }
  const Status& status() const { return status_; }

 private:
  bool Take(size_t n, const char** at);
  std::string_view payload_;
  size_t at_ = 0;
  size_t last_ = 0;  // offset of the value read last
  uint64_t base_;
  std::string_view file_;
  Status status_;
};

// A failure of the state file `file` at byte `offset`.
Status StateFault(std::string_view file, uint64_t offset, const std::string& reason);

// "FILE: byte N: REASON", the line the operator gets for a state fault.
std::string StateFaultText(const Status& status);

struct Section {
  uint32_t kind = 0;
  uint32_t flags = 0;
  uint64_t offset = 0;  // of its payload in the stream
  std::string payload;
};

// The states of a stream, one section at a time: only the section being
// read is held, so a stream of any length takes the memory of its largest
// section.
class StateStream {
 public:
  StateStream(LogSource& source, std::string name) : source_(source), name_(std::move(name)) {}
  // Where the state being read began.
  uint64_t stateOffset() const { return stateOffset_; }
  // The next state's header; `atEnd` set (and Ok) when the stream has
  // ended cleanly before it.
  Status ReadHeader(bool* atEnd);
  // The next section of the state begun by ReadHeader, checked against its
  // checksum.
  Status ReadSection(Section* section);
  uint64_t offset() const { return offset_; }
  const std::string& name() const { return name_; }
  uint16_t minorVersion() const { return minor_; }

 private:
  // Exactly `n` more bytes into `out`; fewer only at the end of the stream
  // (then false, with `out` holding what there was).
  Status Fill(size_t n, std::string* out, bool* complete);
  LogSource& source_;
  std::string name_;
  uint64_t offset_ = 0;
  uint64_t stateOffset_ = 0;
  uint16_t minor_ = 0;
};

}  // namespace logvane

#endif  // LOGVANE_STATE_STATE_FORMAT_H_
