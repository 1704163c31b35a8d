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
bool HasExtra1(const LogRecord& r) { return HasPage(r) && r.statusCode != 0 && r.hasExtra1; }

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
  p.slots = KnownSlots{-1, -1, -1, -1, -1, -1, -1, -1};
  p.userTurn = UserTurn::kCompare;
  p.endsLine = !r.line.empty() && r.line.back() == '\n';
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

namespace {

// Asks the memory for what a shared search of `key` reads: its bucket, or,
// once that has had time to arrive, the key of the slot it names.
template <typename Table>
void AskForKey(const Table& t, const HashedKey& key, bool keyStage) {
  if (!keyStage) {
    t.index.Prefetch(key.hash);
    return;
  }
  int64_t slot = t.index.LikelySlot(key.hash);
  if (slot >= 0) __builtin_prefetch(&t.indexKeys[slot]);
}

// The same for the large tables a line reaches.
void AskForKeys(const Tallies& t, const PreparedLine& p, bool keyStage) {
  const LogRecord& r = p.record;
  if (r.bracketFault != LineFault::kNone || !r.selected) return;
  if (r.hasClientAddress && !p.addressExcluded) AskForKey(t.users, p.user, keyStage);
  if (r.hourFault != LineFault::kNone || r.pageFault != LineFault::kNone) return;
  if (!p.pageExcluded) AskForKey(t.pages, p.page, keyStage);
  if (r.statusCode != 0 && r.hasExtra1 && !p.extra1Excluded) {
    AskForKey(t.extra1, p.extra1, keyStage);
  }
}

// The slot of the key looked up last, for a run of lines with one key (a
// day, an hour, a visitor): a key written exactly alike is the same key.
struct LastLookup {
  std::string_view key;
  int32_t slot = -1;

  template <typename Table>
  int32_t SlotOf(const Table& t, std::string_view text) {
    if (slot >= 0 && text == key) return slot;
    key = text;
    slot = SharedSlotOf(t, HashKey(text));
    return slot;
  }
};

}  // namespace

void ResolveBlock(const Tallies& t, PreparedLine* lines, size_t count) {
  // How far ahead the memory is asked for buckets, then for keys.
  constexpr size_t kBucketsAhead = 8;
  constexpr size_t kKeysAhead = 4;
  for (size_t i = 0; i < count && i < kBucketsAhead; ++i) AskForKeys(t, lines[i], false);
  // The user of the line before, within this block.
  std::string_view previous;
  bool hasPrevious = false;
  LastLookup date;
  LastLookup hour;
  for (size_t i = 0; i < count; ++i) {
    if (i + kBucketsAhead < count) AskForKeys(t, lines[i + kBucketsAhead], false);
    if (i + kKeysAhead < count) AskForKeys(t, lines[i + kKeysAhead], true);
    PreparedLine& p = lines[i];
    const LogRecord& r = p.record;
    if (r.bracketFault != LineFault::kNone || !r.selected) continue;
    if (r.hasClientAddress) {
      if (p.addressExcluded) continue;
      p.slots.user = SharedSlotOf(t.users, p.user);
      if (hasPrevious) {
        bool same = previous.substr(0, r.userName.size()) == r.userName;
        p.userTurn = same ? UserTurn::kSame : UserTurn::kNew;
      }
      previous = r.userName;
      hasPrevious = true;
    }
    p.slots.date = date.SlotOf(t.dates, r.dateText.view().substr(0, kDateKeyWidth));
    if (r.hourFault != LineFault::kNone) continue;
    p.slots.hour = hour.SlotOf(t.hours, p.hourKey.substr(0, kHourKeyWidth));
    if (r.pageFault != LineFault::kNone) continue;
    if (!p.pageExcluded) p.slots.page = SharedSlotOf(t.pages, p.page);
    p.slots.directory = SharedSlotOf(t.directories, p.directory);
    if (r.statusCode == 0) continue;
    if (r.statusCode == 404) p.slots.notFound = SharedSlotOf(t.notFound, p.page);
    if (r.hasExtra1 && !p.extra1Excluded) p.slots.extra1 = SharedSlotOf(t.extra1, p.extra1);
    if (r.hasExtra2 && !p.extra2Excluded) p.slots.extra2 = SharedSlotOf(t.extra2, p.extra2);
  }
}

void LineRouter::PrefetchBuckets(const PreparedLine& p) const {
  if (HasUser(p.record) && p.slots.user < 0) PrefetchBucket(tallies_.users, p.user);
  if (HasPage(p.record) && p.slots.page < 0) PrefetchBucket(tallies_.pages, p.page);
  if (HasExtra1(p.record) && p.slots.extra1 < 0) PrefetchBucket(tallies_.extra1, p.extra1);
}

void LineRouter::PrefetchEntries(const PreparedLine& p) const {
  if (p.slots.user >= 0) {
    __builtin_prefetch(&tallies_.users.slots[p.slots.user], 1);
  } else if (HasUser(p.record)) {
    PrefetchEntry(tallies_.users, p.user);
  }
  if (p.slots.page >= 0) {
    __builtin_prefetch(&tallies_.pages.slots[p.slots.page], 1);
  } else if (HasPage(p.record)) {
    PrefetchEntry(tallies_.pages, p.page);
  }
  if (p.slots.extra1 >= 0) {
    __builtin_prefetch(&tallies_.extra1.slots[p.slots.extra1], 1);
  } else if (HasExtra1(p.record)) {
    PrefetchEntry(tallies_.extra1, p.extra1);
  }
}

void LineRouter::KeepPreviousUser() {
  if (!userPending_) return;
  counters_.previousUser.assign(pendingUser_);
  userPending_ = false;
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
  rejected.atLineStart = p.endsLine;

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

  const KnownSlots& known = p.slots;
  bool userCounted = false;
  if (r.hasClientAddress) {
    if (p.addressExcluded) return;
    if (known.user >= 0) {
      TallyUserAt(tallies_.users, static_cast<size_t>(known.user), r.byteCount);
      userCounted = true;
    } else {
      userCounted = TallyUser(tallies_.users, p.user, r.byteCount, console_);
    }
    // A new user begins a new page request; a name that is the start of the
    // previous one counts as the same user.
    if (p.userTurn == UserTurn::kCompare) {
      KeepPreviousUser();
      std::string_view previous = counters_.previousUser.view();
      if (previous.substr(0, r.userName.size()) != r.userName) ++counters_.pagesRequested;
      counters_.previousUser.assign(r.userName);
    } else {
      if (p.userTurn == UserTurn::kNew) ++counters_.pagesRequested;
      pendingUser_ = r.userName;
      userPending_ = true;
    }
  }

  if (known.date >= 0) {
    TallyDateAt(tallies_.dates, static_cast<size_t>(known.date), r.byteCount);
  } else {
    TallyDate(tallies_.dates, r.dateText.view(), r.byteCount, console_);
  }

  if (r.hourFault != LineFault::kNone) {
    Reject(r.hourFault, line);
    ReportLineFault(r.hourFault, line, console_);
    return;
  }
  if (known.hour >= 0) {
    TallyHourAt(tallies_.hours, static_cast<size_t>(known.hour), r.byteCount);
  } else {
    TallyHour(tallies_.hours, p.hourKey, r.byteCount, console_);
  }

  if (r.pageFault != LineFault::kNone) {
    Reject(r.pageFault, line);
    ReportLineFault(r.pageFault, line, console_);
    return;
  }
  const HashedKey& page = p.page;
  if (!p.pageExcluded) {
    if (known.page >= 0) {
      CountAt(tallies_.pages, static_cast<size_t>(known.page));
    } else {
      TallyPage(tallies_.pages, page, console_);
    }
  }

  if (p.robotsPage && userCounted) {
    tallies_.users.slots[tallies_.users.lastUserSlot].isRobot = 1;
  }

  if (known.directory >= 0) {
    CountAt(tallies_.directories, static_cast<size_t>(known.directory));
  } else {
    TallyDirectory(tallies_.directories, p.directory, console_);
  }

  if (r.statusCode != 0) {
    CountResponseCode(tallies_.codes, r.statusCode);
    if (r.statusCode == 404) {
      if (known.notFound >= 0) {
        CountAt(tallies_.notFound, static_cast<size_t>(known.notFound));
      } else {
        TallyNotFound(tallies_.notFound, page, console_);
      }
    }
    if (r.hasExtra1 && !p.extra1Excluded) {
      if (known.extra1 >= 0) {
        CountAt(tallies_.extra1, static_cast<size_t>(known.extra1));
      } else {
        TallyExtra1(tallies_.extra1, p.extra1, console_);
      }
      counters_.hasExtra1 = true;
    }
    if (r.hasExtra2 && !p.extra2Excluded) {
      if (known.extra2 >= 0) {
        CountAt(tallies_.extra2, static_cast<size_t>(known.extra2));
      } else {
        TallyExtra2(tallies_.extra2, p.extra2, console_);
      }
      counters_.hasExtra2 = true;
    }
  }

  Count();
  std::string_view milestone = MilestoneText(counters_.processedCount);
  if (!milestone.empty()) console_.Line(milestone);
}

}  // namespace logvane
