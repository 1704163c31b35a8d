#include "tally/tally_tables.h"

#include <cstring>

namespace logvane {

namespace {

// Only slots below the count in use are ever written, and the index only
// once a key was added, so a table that is empty already (a fresh run
// state's zero pages) is left untouched rather than written over.
template <typename Entry>
void ClearSlots(Entry* slots, size_t used) {
  if (used != 0) std::memset(static_cast<void*>(slots), 0, used * sizeof(Entry));
}

template <typename Table>
void ClearTable(Table& table) {
  ClearSlots(table.slots, table.used);
  if (table.used != 0) table.index.Clear();
  table.used = 0;
  table.recent = 0;
  table.dropped = 0;
}

// A key written exactly as the last one counted is that one's entry: runs
// of one key (a day, a visitor's browser) skip the hash and the index.
template <typename Table>
int64_t RecentSlot(const Table& table, std::string_view key) {
  if (table.recent == 0) return -1;
  std::string_view last = table.slots[table.recent - 1].key.view();
  if (last.size() != key.size() || !fold_detail::SameBytes(last.data(), key.data(), key.size())) {
    return -1;
  }
  return static_cast<int64_t>(table.recent - 1);
}

// Finds the slot of `key` (already cut to the table's key width) or takes
// the next free one for it; -1 when the key is new and every slot is in use
// (the table's message is then written). `isNew` tells whether the slot was
// just taken.
template <typename Table>
int64_t FindOrAdd(Table& table, std::string_view key, uint64_t hash, std::string_view fullMessage,
                  Console& console, bool* isNew) {
  *isNew = false;
  int64_t slot = RecentSlot(table, key);
  if (slot >= 0) return slot;
  size_t bucket = 0;
  auto keyOf = [&table](size_t s) { return table.slots[s].key.view(); };
  slot = table.index.Find(key, hash, keyOf, &bucket);
  if (slot < 0) {
    if (table.used == Table::kCapacity) {
      ++table.dropped;
      console.Line(fullMessage);
      return -1;
    }
    slot = static_cast<int64_t>(table.used++);
    table.slots[slot].key.assign(key);
    table.indexKeys[slot].assign(key);
    table.index.Insert(bucket, hash, static_cast<size_t>(slot));
    *isNew = true;
  }
  table.recent = static_cast<size_t>(slot) + 1;
  return slot;
}

template <typename Table>
int64_t FindOrAdd(Table& table, std::string_view key, std::string_view fullMessage,
                  Console& console, bool* isNew) {
  int64_t slot = RecentSlot(table, key);
  if (slot >= 0) {
    *isNew = false;
    return slot;
  }
  return FindOrAdd(table, key, FoldedHash(key), fullMessage, console, isNew);
}

template <typename Table>
void CountKey(Table& table, std::string_view key, std::string_view fullMessage, Console& console) {
  bool isNew = false;
  int64_t slot = FindOrAdd(table, key.substr(0, kKeyWidth), fullMessage, console, &isNew);
  if (slot >= 0) ++table.slots[slot].hits;
}

template <typename Table>
void CountKey(Table& table, const HashedKey& key, std::string_view fullMessage, Console& console) {
  bool isNew = false;
  int64_t slot = FindOrAdd(table, key.text, key.hash, fullMessage, console, &isNew);
  if (slot >= 0) ++table.slots[slot].hits;
}

// The lines written when a table is full, built from their capacities.
constexpr std::string_view kMoreThan = "*ERROR* More than ";
constexpr ConstText kDatesFull = NumberedText(kMoreThan, kDateCapacity, " dates.");
constexpr ConstText kPagesFull = NumberedText(kMoreThan, kPageCapacity, " unique pages");
constexpr ConstText kDirectoriesFull =
    NumberedText(kMoreThan, kDirectoryCapacity, " unique directories");
constexpr ConstText kExtra1Full =
    NumberedText(kMoreThan, kExtra1Capacity, " unique extra(1) entries.");
constexpr ConstText kExtra2Full =
    NumberedText(kMoreThan, kExtra2Capacity, " unique extra(2) entries.");
constexpr std::string_view kNotFoundFull =
    "*ERROR* Too many NOT FOUND pages, ask for free upgrade.";

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
  ClearSlots(users.slots, users.userCount);
  if (users.userCount != 0) users.index.Clear();
  users.userCount = 0;
  users.hasLastUser = false;
  users.lastUserSlot = 0;
  users.dropped = 0;
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
  return TallyUser(users, HashKey(name), byteCount, console);
}

bool TallyUser(UserTable& users, const HashedKey& key, int64_t byteCount, Console& console) {
  std::string_view name = key.text;
  // Consecutive records of one client skip the search: a name written
  // exactly as the last user's key is that user.
  if (users.hasLastUser) {
    std::string_view last = users.slots[users.lastUserSlot].key.view();
    if (last.size() == name.size() &&
        fold_detail::SameBytes(last.data(), name.data(), name.size())) {
      TallyUserAt(users, users.lastUserSlot, byteCount);
      return true;
    }
  }
  size_t bucket = 0;
  auto keyOf = [&users](size_t slot) { return users.slots[slot].key.view(); };
  int64_t found = users.index.Find(name, key.hash, keyOf, &bucket);
  size_t slot;
  if (found >= 0) {
    slot = static_cast<size_t>(found);
    ++users.slots[slot].hits;
    users.slots[slot].byteSum += static_cast<double>(byteCount);
  } else if (users.userCount == kUserCapacity) {
    console.Line("*ERROR* too many users - ask for upgrade.");
    users.userTableFull = true;
    ++users.dropped;
    return false;
  } else {
    slot = users.userCount++;
    UserEntry& entry = users.slots[slot];
    entry.key.assign(name);
    entry.hits = 1;
    entry.isRobot = 0;
    entry.byteSum = static_cast<double>(byteCount);
    users.indexKeys[slot].assign(name);
    users.index.Insert(bucket, key.hash, slot);
  }
  users.lastUserSlot = slot;
  users.hasLastUser = true;
  return true;
}

void TallyUserAt(UserTable& users, size_t slot, int64_t byteCount) {
  UserEntry& entry = users.slots[slot];
  ++entry.hits;
  entry.byteSum += static_cast<double>(byteCount);
  users.lastUserSlot = slot;
  users.hasLastUser = true;
}

void TallyDateAt(DateTable& dates, size_t slot, int64_t byteCount) {
  DateEntry& entry = dates.slots[slot];
  ++entry.hits;
  entry.byteSum += static_cast<double>(byteCount);
}

void TallyHourAt(HourTable& hours, size_t slot, int64_t byteCount) {
  HourEntry& entry = hours.slots[slot];
  ++entry.hits;
  entry.byteSum += static_cast<double>(byteCount);
}

int32_t DateNumberOf(std::string_view dateText) {
  auto digitsValue = [&](size_t from, size_t count) {
    if (from >= dateText.size()) return 0;
    return static_cast<int32_t>(LeadingInteger(dateText.substr(from, count)));
  };
  int32_t day = digitsValue(0, 2);
  int32_t year = digitsValue(7, 4);
  int32_t month = dateText.size() >= 6 ? MonthNumber(dateText.substr(3, 3)) : 0;
  return year * 10000 + month * 100 + day;
}

void TallyDate(DateTable& dates, std::string_view dateText, int64_t byteCount, Console& console) {
  bool isNew = false;
  dateText = dateText.substr(0, kDateKeyWidth);
  int64_t slot = FindOrAdd(dates, dateText, kDatesFull.view(), console, &isNew);
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
  CountKey(pages, page, kPagesFull.view(), console);
}

void TallyPage(PageTable& pages, const HashedKey& page, Console& console) {
  CountKey(pages, page, kPagesFull.view(), console);
}

void TallyDirectory(DirectoryTable& directories, std::string_view directory, Console& console) {
  CountKey(directories, directory, kDirectoriesFull.view(), console);
}

void TallyDirectory(DirectoryTable& directories, const HashedKey& directory, Console& console) {
  CountKey(directories, directory, kDirectoriesFull.view(), console);
}

void TallyNotFound(NotFoundTable& notFound, std::string_view page, Console& console) {
  CountKey(notFound, page, kNotFoundFull, console);
}

void TallyNotFound(NotFoundTable& notFound, const HashedKey& page, Console& console) {
  CountKey(notFound, page, kNotFoundFull, console);
}

void TallyExtra1(Extra1Table& extra1, std::string_view text, Console& console) {
  CountKey(extra1, text, kExtra1Full.view(), console);
}

void TallyExtra1(Extra1Table& extra1, const HashedKey& text, Console& console) {
  CountKey(extra1, text, kExtra1Full.view(), console);
}

void TallyExtra2(Extra2Table& extra2, std::string_view text, Console& console) {
  CountKey(extra2, text, kExtra2Full.view(), console);
}

void TallyExtra2(Extra2Table& extra2, const HashedKey& text, Console& console) {
  CountKey(extra2, text, kExtra2Full.view(), console);
}

}  // namespace logvane
