#include "tally/tally_tables.h"

#include <cstring>

namespace logvane {

namespace {

template <typename Table>
void ClearTable(Table& table) {
  std::memset(static_cast<void*>(table.slots), 0, sizeof(table.slots));
  table.used = 0;
  table.index.Clear();
}

// Finds the slot of `key` or takes the next free one for it; -1 when the
// key is new and every slot is in use (the table's message is then written).
// `isNew` tells whether the slot was just taken.
template <typename Table>
int64_t FindOrAdd(Table& table, std::string_view key, std::string_view fullMessage,
                  Console& console, bool* isNew) {
  uint64_t hash = FoldedHash(key);
  size_t bucket = 0;
  auto keyOf = [&table](size_t slot) { return table.slots[slot].key.view(); };
  int64_t slot = table.index.Find(key, hash, keyOf, &bucket);
  *isNew = false;
  if (slot >= 0) return slot;
  if (table.used == Table::kCapacity) {
    console.Line(fullMessage);
    return -1;
  }
  size_t fresh = table.used++;
  table.slots[fresh].key.assign(key);
  table.index.Insert(bucket, hash, fresh);
  *isNew = true;
  return static_cast<int64_t>(fresh);
}

template <typename Table>
void CountKey(Table& table, std::string_view key, std::string_view fullMessage,
              Console& console) {
  bool isNew = false;
  int64_t slot = FindOrAdd(table, key.substr(0, kKeyWidth), fullMessage, console, &isNew);
  if (slot >= 0) ++table.slots[slot].hits;
}

}  // namespace

size_t ResponseCounterIndex(int32_t code) {
  for (size_t i = 0; i < std::size(kCountedCodes); ++i) {
    if (kCountedCodes[i] == code) return i + 1;
  }
  return 0;
}

void CountResponseCode(ResponseCodeCounters& counters, int32_t code) {
  ++counters.counts[ResponseCounterIndex(code)];
}

int64_t ResponseCount(const ResponseCodeCounters& counters, int32_t code) {
  return counters.counts[ResponseCounterIndex(code)];
}

void ClearTallies(Tallies& tallies) {
  UserTable& users = tallies.users;
  std::memset(static_cast<void*>(users.slots), 0, sizeof(users.slots));
  users.userCount = 0;
  users.hasLastUser = false;
  users.lastUserKey.clear();
  users.lastUserSlot = 0;
  users.index.Clear();
  ClearTable(tallies.dates);
  ClearTable(tallies.hours);
  ClearTable(tallies.pages);
  ClearTable(tallies.directories);
  ClearTable(tallies.notFound);
  ClearTable(tallies.extra1);
  ClearTable(tallies.extra2);
  std::memset(static_cast<void*>(&tallies.weekdays), 0, sizeof(tallies.weekdays));
  std::memset(static_cast<void*>(&tallies.nations), 0, sizeof(tallies.nations));
}

bool TallyUser(UserTable& users, std::string_view name, int64_t byteCount, Console& console) {
  name = name.substr(0, kKeyWidth);
  // Consecutive records of one client skip the search.
  if (users.hasLastUser && users.lastUserKey.view() == name) {
    UserEntry& entry = users.slots[users.lastUserSlot];
    ++entry.hits;
    entry.byteSum += static_cast<double>(byteCount);
    return true;
  }
  uint64_t hash = FoldedHash(name);
  size_t bucket = 0;
  auto keyOf = [&users](size_t slot) { return users.slots[slot].key.view(); };
  int64_t found = users.index.Find(name, hash, keyOf, &bucket);
  size_t slot;
  if (found >= 0) {
    slot = static_cast<size_t>(found);
    ++users.slots[slot].hits;
    users.slots[slot].byteSum += static_cast<double>(byteCount);
  } else if (users.userCount == kUserCapacity) {
    console.Line("*ERROR* too many users - ask for upgrade.");
    users.userTableFull = true;
    return false;
  } else {
    slot = users.userCount++;
    UserEntry& entry = users.slots[slot];
    entry.key.assign(name);
    entry.hits = 1;
    entry.isRobot = 0;
    entry.byteSum = static_cast<double>(byteCount);
    users.index.Insert(bucket, hash, slot);
  }
  users.lastUserSlot = slot;
  users.lastUserKey.assign(name);
  users.hasLastUser = true;
  return true;
}

int32_t DateNumberOf(std::string_view dateText) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  auto digitsValue = [&](size_t from, size_t count) {
    if (from >= dateText.size()) return 0;
    return static_cast<int32_t>(LeadingInteger(dateText.substr(from, count)));
  };
  int32_t day = digitsValue(0, 2);
  int32_t year = digitsValue(7, 4);
  int32_t month = 0;
  if (dateText.size() >= 6) {
    std::string_view name = dateText.substr(3, 3);
    for (int m = 0; m < 12; ++m) {
      if (EqualsFolded(name, kMonths[m])) {
        month = m + 1;
        break;
      }
    }
  }
  return year * 10000 + month * 100 + day;
}

void TallyDate(DateTable& dates, std::string_view dateText, int64_t byteCount, Console& console) {
  bool isNew = false;
  dateText = dateText.substr(0, kDateKeyWidth);
  int64_t slot = FindOrAdd(dates, dateText, "*ERROR* More than 500 dates.", console, &isNew);
  if (slot < 0) return;
  DateEntry& entry = dates.slots[slot];
  if (isNew) entry.dateNumber = DateNumberOf(dateText);
  ++entry.hits;
  entry.byteSum += static_cast<double>(byteCount);
}

void TallyHour(HourTable& hours, std::string_view hourKey, int64_t byteCount, Console& console) {
  bool isNew = false;
  hourKey = hourKey.substr(0, kHourKeyWidth);
  int64_t slot = FindOrAdd(hours, hourKey, "*ERROR* More than 24 hours !?!", console, &isNew);
  if (slot < 0) return;
  HourEntry& entry = hours.slots[slot];
  if (isNew) entry.hourNumber = LeadingInt32(hourKey);
  ++entry.hits;
  entry.byteSum += static_cast<double>(byteCount);
}

void TallyPage(PageTable& pages, std::string_view page, Console& console) {
  CountKey(pages, page, "*ERROR* More than 50000 unique pages", console);
}

void TallyDirectory(DirectoryTable& directories, std::string_view directory, Console& console) {
  CountKey(directories, directory, "*ERROR* More than 1000 unique directories", console);
}

void TallyNotFound(NotFoundTable& notFound, std::string_view page, Console& console) {
  CountKey(notFound, page, "*ERROR* Too many NOT FOUND pages, ask for free upgrade.", console);
}

void TallyExtra1(Extra1Table& extra1, std::string_view text, Console& console) {
  CountKey(extra1, text, "*ERROR* More than 3000 unique extra(1) entries.", console);
}

void TallyExtra2(Extra2Table& extra2, std::string_view text, Console& console) {
  CountKey(extra2, text, "*ERROR* More than 2000 unique extra(2) entries.", console);
}

}  // namespace logvane
