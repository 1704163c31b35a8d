#include "intake/read_records.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "intake/log_parser.h"

namespace logvane {

namespace {

static_assert(kLineFaultCount == kLineFaultKinds, "one rejection counter per line fault");

// The console text of a milestone count, or nothing.
std::string_view MilestoneText(int64_t count) {
  switch (count) {
    case 1000: return "1000 records";
    case 5000: return "5,000 records";
    case 10000: return "10,000 records";
    case 25000: return "25,000 records";
    case 50000: return "50,000 records";
    case 100000: return "100,000 records";
    case 250000: return "250,000 records";
    case 500000: return "500,000 records";
    case 750000: return "750,000 records";
    case 1000000: return "1,000,000 records";
    default: return {};
  }
}

bool BeginsWithAnyFolded(std::string_view text, const std::vector<std::string>& prefixes) {
  for (const std::string& prefix : prefixes) {
    if (StartsWithFolded(text, prefix)) return true;
  }
  return false;
}

bool ContainsAny(std::string_view text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (text.find(part) != std::string_view::npos) return true;
  }
  return false;
}

// The hour key: the line's hour moved by the offset, corrected once by 24.
// The sum is formed in 64 bits so that no offset can overflow it; an offset
// beyond a day leaves a sum outside 0 to 23, which the hour table cuts to
// two characters.
std::string_view ShiftedHourKey(std::string_view hourText, int32_t offset, char* buffer,
                                size_t bufferSize) {
  int64_t hour = LeadingInteger(hourText) + offset;
  if (hour < 0) {
    hour += 24;
  } else if (hour >= 24) {
    hour -= 24;
  }
  char* end = buffer + bufferSize;
  char* p = end;
  bool negative = hour < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(hour) : static_cast<uint64_t>(hour);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) *--p = '-';
  return std::string_view(p, static_cast<size_t>(end - p));
}

// One line with every field it can give, found ahead of routing, and the
// hashed keys of its user and page. Finding is free of effects, so it may
// run a line early.
struct PreparedLine {
  LogRecord record;
  HashedKey user;
  HashedKey page;
};

// The record's user and page keys, once the line got as far as each.
bool HasUser(const LogRecord& r) {
  return r.bracketFault == LineFault::kNone && r.selected && r.hasClientAddress;
}
bool HasPage(const LogRecord& r) {
  return r.bracketFault == LineFault::kNone && r.selected && r.hourFault == LineFault::kNone &&
         r.pageFault == LineFault::kNone;
}

// Everything one line needs beyond itself: settings read once for the
// whole phase, the tallies, the counters and the console.
//
// Lines go through in two steps. Prepare finds a line's fields and asks the
// memory for the index buckets of its user and page, which in a large log
// are seldom in the cache; Route feeds the tallies in their fixed order and
// writes the console lines. The phase prepares the next line while the
// current one's entries are on their way, so the waits overlap with work.
class LineRouter {
 public:
  LineRouter(const RunSettings& settings, Tallies& tallies, RunCounters& counters,
             Console& console)
      : settings_(settings),
        tallies_(tallies),
        counters_(counters),
        console_(console),
        robotsOn_(EqualsFolded(settings_.robotsMode, "RPT")) {
    format_.selectOn = settings.selectOn;
    format_.selectText = settings.selectText;
    format_.userFromField2 = settings.userFromField2;
    format_.proxyMode = settings.proxyMode;
    format_.fullPageDetails = settings.fullPageDetails;
  }

  void Prepare(std::string_view line, PreparedLine& p) const;
  // Asks for the entries that the prepared line's buckets name.
  void PrefetchEntries(const PreparedLine& p) const;
  void Route(PreparedLine& p);

 private:
  void Count() { ++counters_.processedCount; }
  // Counts a line the parser gave up on, for the operator's summary.
  void Reject(LineFault fault, std::string_view line);

  const RunSettings& settings_;
  LineFormat format_;
  Tallies& tallies_;
  RunCounters& counters_;
  Console& console_;
  const bool robotsOn_;
};

void LineRouter::Prepare(std::string_view line, PreparedLine& p) const {
  const LogRecord& r = p.record;
  ParseLogLine(line, format_, p.record);
  if (HasUser(r)) {
    p.user = HashKey(r.userName);
    PrefetchBucket(tallies_.users, p.user);
  }
  if (HasPage(r)) {
    p.page = HashKey(r.page.view());
    PrefetchBucket(tallies_.pages, p.page);
  }
}

void LineRouter::PrefetchEntries(const PreparedLine& p) const {
  if (HasUser(p.record)) PrefetchEntry(tallies_.users, p.user);
  if (HasPage(p.record)) PrefetchEntry(tallies_.pages, p.page);
}

void LineRouter::Reject(LineFault fault, std::string_view line) {
  RejectedLines& rejected = counters_.rejected;
  size_t kind = static_cast<size_t>(fault);
  if (rejected.count[kind]++ == 0) rejected.firstLine[kind] = rejected.lineNumber;
  if (rejected.sampleLine == 0) {
    rejected.sampleLine = rejected.lineNumber;
    rejected.sample.assign(line);
  }
}

void LineRouter::Route(PreparedLine& p) {
  LogRecord& r = p.record;
  std::string_view line = r.line;
  RejectedLines& rejected = counters_.rejected;
  ++rejected.records;
  if (rejected.atLineStart) ++rejected.lineNumber;
  rejected.atLineStart = !line.empty() && line.back() == '\n';

  if (r.bracketFault != LineFault::kNone) {
    Reject(r.bracketFault, line);
    ReportLineFault(r.bracketFault, line, console_);
    Count();
    return;
  }
  if (!r.selected) {
    Count();
    return;
  }

  bool userCounted = false;
  if (r.hasClientAddress) {
    if (BeginsWithAnyFolded(r.clientAddress, settings_.excludedAddresses)) return;
    userCounted = TallyUser(tallies_.users, p.user, r.byteCount, console_);
    // A new user begins a new page request; a name that is the start of the
    // previous one counts as the same user.
    std::string_view previous = counters_.previousUser.view();
    if (previous.substr(0, r.userName.size()) != r.userName) ++counters_.pagesRequested;
    counters_.previousUser.assign(r.userName);
  }

  TallyDate(tallies_.dates, r.dateText.view(), r.byteCount, console_);

  if (r.hourFault != LineFault::kNone) {
    Reject(r.hourFault, line);
    ReportLineFault(r.hourFault, line, console_);
    return;
  }
  char hourBuffer[24];
  TallyHour(tallies_.hours,
            ShiftedHourKey(r.hourText, settings_.hourOffset, hourBuffer, sizeof(hourBuffer)),
            r.byteCount, console_);

  if (r.pageFault != LineFault::kNone) {
    Reject(r.pageFault, line);
    ReportLineFault(r.pageFault, line, console_);
    return;
  }
  const HashedKey& page = p.page;
  if (!ContainsAny(page.text, settings_.excludedTypes)) TallyPage(tallies_.pages, page, console_);

  if (robotsOn_ && userCounted && StartsWithFolded(page.text, "/robots")) {
    tallies_.users.slots[tallies_.users.lastUserSlot].isRobot = 1;
  }

  TallyDirectory(tallies_.directories, r.directory, console_);

  if (r.statusCode != 0) {
    CountResponseCode(tallies_.codes, r.statusCode);
    if (r.statusCode == 404) TallyNotFound(tallies_.notFound, page, console_);
    if (r.hasExtra1 && !ContainsAny(r.extra1, settings_.excludedExtra1)) {
      TallyExtra1(tallies_.extra1, r.extra1, console_);
      counters_.hasExtra1 = true;
    }
    if (r.hasExtra2 && !ContainsAny(r.extra2, settings_.excludedExtra2)) {
      TallyExtra2(tallies_.extra2, r.extra2, console_);
      counters_.hasExtra2 = true;
    }
  }

  Count();
  std::string_view milestone = MilestoneText(counters_.processedCount);
  if (!milestone.empty()) console_.Line(milestone);
}

}  // namespace

void ReadRecords(const RunSettings& settings, Tallies& tallies, RunCounters& counters,
                 LogLineReader& reader, Console& console, const Platform& platform) {
  console.Write(" - reading records...\n\n");
  console.Write("started: ");
  console.Write(platform.localTimeText());
  console.Write("\n");
  ClearTallies(tallies);

  // Diagnostics may come once per line: hand them on in large pieces, in
  // order, rather than one write per line.
  bool lineFlush = console.lineFlush();
  console.SetLineFlush(false);
  // The reader keeps a piece valid through the following call, so one line
  // can be prepared while the one before it waits to be routed.
  LineRouter router(settings, tallies, counters, console);
  PreparedLine lines[2];
  PreparedLine* current = &lines[0];
  PreparedLine* next = &lines[1];
  std::string_view piece;
  ReadStatus status = reader.ReadLogLine(&piece);
  if (status == ReadStatus::kLine) router.Prepare(piece, *current);
  while (status == ReadStatus::kLine) {
    router.PrefetchEntries(*current);
    status = reader.ReadLogLine(&piece);
    if (status == ReadStatus::kLine) router.Prepare(piece, *next);
    router.Route(*current);
    std::swap(current, next);
  }

  counters.readError = status == ReadStatus::kReadError;
  if (counters.readError) counters.readErrno = reader.error();
  console.Line(counters.readError ? "Error reading file..." : "End of file...");
  console.Write("completed reading... processed: ");
  console.WriteNumber(counters.processedCount);
  console.Write(" records.\n");
  console.SetLineFlush(lineFlush);
  console.Flush();
}

}  // namespace logvane
