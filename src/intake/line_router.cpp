#include "intake/line_router.h"

#include <string>
#include <string_view>
#include <vector>

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

// The record's user and page keys, once the line got as far as each.
bool HasUser(const LogRecord& r) {
  return r.bracketFault == LineFault::kNone && r.selected && r.hasClientAddress;
}
bool HasPage(const LogRecord& r) {
  return r.bracketFault == LineFault::kNone && r.selected && r.hourFault == LineFault::kNone &&
         r.pageFault == LineFault::kNone;
}

}  // namespace

LineRules::LineRules(const RunSettings& s)
    : settings(s), robotsOn(EqualsFolded(s.robotsMode, "RPT")) {
  format.selectOn = s.selectOn;
  format.selectText = s.selectText;
  format.userFromField2 = s.userFromField2;
  format.proxyMode = s.proxyMode;
  format.fullPageDetails = s.fullPageDetails;
}

LineRouter::LineRouter(Tallies& tallies, RunCounters& counters, Console& console)
    : tallies_(tallies), counters_(counters), console_(console) {}

void PrepareLine(const LineRules& rules, std::string_view line, PreparedLine& p) {
  ParseLogLine(line, rules.format, p.record);
  PrepareParsedLine(rules, p);
}

void PrepareParsedLine(const LineRules& rules, PreparedLine& p) {
  const RunSettings& settings = rules.settings;
  const LogRecord& r = p.record;
  if (r.bracketFault != LineFault::kNone || !r.selected) return;
  if (r.hasClientAddress) {
    p.addressExcluded = BeginsWithAnyFolded(r.clientAddress, settings.excludedAddresses);
    p.user = HashKey(r.userName);
  }
  if (r.hourFault != LineFault::kNone) return;
  p.hourKey = ShiftedHourKey(r.hourText, settings.hourOffset, p.hourBuffer, sizeof(p.hourBuffer));
  if (r.pageFault != LineFault::kNone) return;
  p.page = HashKey(r.page.view());
  p.pageExcluded = ContainsAny(p.page.text, settings.excludedTypes);
  p.robotsPage = rules.robotsOn && StartsWithFolded(p.page.text, "/robots");
  p.directory = HashKey(r.directory);
  if (r.statusCode == 0) return;
  if (r.hasExtra1) {
    p.extra1Excluded = ContainsAny(r.extra1, settings.excludedExtra1);
    p.extra1 = HashKey(r.extra1);
  }
  if (r.hasExtra2) {
    p.extra2Excluded = ContainsAny(r.extra2, settings.excludedExtra2);
    p.extra2 = HashKey(r.extra2);
  }
}

void LineRouter::PrefetchBuckets(const PreparedLine& p) const {
  if (HasUser(p.record)) PrefetchBucket(tallies_.users, p.user);
  if (HasPage(p.record)) PrefetchBucket(tallies_.pages, p.page);
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
    if (r.bracketFault == LineFault::kNoMatch && counters_.unmatchedLines++ == 0) {
      counters_.firstUnmatched.assign(line);
    }
    Count();
    return;
  }
  if (!r.selected) {
    Count();
    return;
  }

  bool userCounted = false;
  if (r.hasClientAddress) {
    if (p.addressExcluded) return;
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
  TallyHour(tallies_.hours, p.hourKey, r.byteCount, console_);

  if (r.pageFault != LineFault::kNone) {
    Reject(r.pageFault, line);
    ReportLineFault(r.pageFault, line, console_);
    return;
  }
  const HashedKey& page = p.page;
  if (!p.pageExcluded) TallyPage(tallies_.pages, page, console_);

  if (p.robotsPage && userCounted) {
    tallies_.users.slots[tallies_.users.lastUserSlot].isRobot = 1;
  }

  TallyDirectory(tallies_.directories, p.directory, console_);

  if (r.statusCode != 0) {
    CountResponseCode(tallies_.codes, r.statusCode);
    if (r.statusCode == 404) TallyNotFound(tallies_.notFound, page, console_);
    if (r.hasExtra1 && !p.extra1Excluded) {
      TallyExtra1(tallies_.extra1, p.extra1, console_);
      counters_.hasExtra1 = true;
    }
    if (r.hasExtra2 && !p.extra2Excluded) {
      TallyExtra2(tallies_.extra2, p.extra2, console_);
      counters_.hasExtra2 = true;
    }
  }

  Count();
  std::string_view milestone = MilestoneText(counters_.processedCount);
  if (!milestone.empty()) console_.Line(milestone);
}

}  // namespace logvane
