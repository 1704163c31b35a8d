// Any bytes as a log: read in pieces, parsed, filtered and routed into the
// tallies, sorted, translated through a small cache and reported. The first
// six bytes choose the settings and how the log arrives; the rest is the
// log. Every phase must end normally, the counts must agree with the pieces
// delivered, and the report must hold only its own markup.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "driver/run_state.h"
#include "intake/line_router.h"
#include "intake/log_parser.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "names/report_totals.h"
#include "names/translate_names.h"
#include "platform/fault_env.h"
#include "report/report_writer.h"
#include "report/write_report.h"
#include "support/chunked_source.h"
#include "support/markup_check.h"
#include "support/record_check.h"
#include "same_reading.h"
#include "tally/sort_tallies.h"

namespace {

using logvane::testing::ChunkedSource;

using namespace logvane;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

// The log handed out a few bytes per read, as a pipe or a slow disk would,
// ending at its end or on a read error.
struct Choices {
  size_t chunk;      // bytes per read
  size_t blockSize;  // the reader's block
  bool failAtEnd;
};

// Reads the log once on its own: each piece must be the first bytes of one
// line of the log, at most 1997 of them and ending after its line end when
// that fits, so that no piece ever starts inside a line; and every line
// must give one. Gives the pieces.
std::vector<std::string_view> Pieces(std::string_view log, const Choices& c) {
  ChunkedSource source(std::string(log), c.chunk, c.failAtEnd);
  LogLineReader reader(source, kLinePieceWidth, c.blockSize);
  std::vector<std::string_view> pieces;
  size_t offset = 0;  // where the next line starts
  int64_t cut = 0;
  std::string_view piece;
  ReadStatus status;
  while ((status = reader.ReadLogLine(&piece)) == ReadStatus::kLine) {
    size_t end = log.find('\n', offset);
    end = end == std::string_view::npos ? log.size() : end + 1;
    std::string_view line = log.substr(offset, end - offset);
    Check(!piece.empty() && piece.size() <= kLinePieceWidth, "piece width");
    Check(piece == line.substr(0, std::min(line.size(), kLinePieceWidth)), "a line's first bytes");
    std::string_view body = line.substr(0, line.size() - line.ends_with('\n'));
    if (body.ends_with('\r')) body.remove_suffix(1);
    if (body.size() > kLinePieceWidth) ++cut;
    pieces.push_back(log.substr(offset, piece.size()));
    offset = end;
  }
  Check(offset == log.size(), "every line delivered");
  Check(reader.longLines() == cut, "the lines cut are counted");
  Check(status == (c.failAtEnd ? ReadStatus::kReadError : ReadStatus::kEndOfFile), "end status");
  return pieces;
}

// Lines that end at the bracket step: no "[" in the first 250 characters,
// or a day that is neither one nor two digits wide.
size_t RejectedAtTheBracket(const std::vector<std::string_view>& pieces) {
  size_t rejected = 0;
  for (std::string_view p : pieces) {
    size_t b = p.substr(0, std::min<size_t>(p.size(), 250)).find('[');
    bool ok = b != std::string_view::npos &&
              ((b + 3 < p.size() && p[b + 3] == '/') || (b + 2 < p.size() && p[b + 2] == '/'));
    if (!ok) ++rejected;
  }
  return rejected;
}

std::string Folded(std::string_view key) {
  std::string folded(key);
  for (char& ch : folded) ch = FoldChar(ch);
  return folded;
}

// Slots in use: hits of at least 1, keys no wider than the table's, no two
// keys the same without regard to case. Gives the sum of the hits.
template <typename Entry>
int64_t CheckSlots(const Entry* slots, size_t used, size_t capacity, size_t keyWidth) {
  Check(used <= capacity, "slots in use within capacity");
  std::set<std::string> keys;
  int64_t sum = 0;
  for (size_t i = 0; i < used; ++i) {
    Check(slots[i].hits >= 1, "slot in use has hits");
    Check(slots[i].key.size <= keyWidth, "key width");
    Check(keys.insert(Folded(slots[i].key.view())).second, "keys distinct");
    sum += slots[i].hits;
  }
  if (used < capacity) Check(slots[used].hits == 0, "first free slot is empty");
  return sum;
}

template <typename Table>
int64_t CheckTable(const Table& t, size_t keyWidth) {
  return CheckSlots(t.slots, t.used, Table::kCapacity, keyWidth);
}

template <typename Entry, typename Key>
void CheckOrder(const Entry* slots, size_t used, Key key, bool ascending) {
  for (size_t i = 1; i < used; ++i) {
    auto a = key(slots[i - 1]);
    auto b = key(slots[i]);
    Check(ascending ? a <= b : a >= b, "sorted");
  }
}

// A loaded cache whose names are markup, script addresses and quotes.
void FillCache(NameCache& cache) {
  ClearNameCache(cache);
  const char* const records[][2] = {
      {"10.0.0.1", "<script>alert(1)</script>.example"},
      {"192.0.2.1", "javascript:alert(1)//x.example.de"},
      {"192.0.2.2", "host\"onmouseover=alert(1).example.uk"},
      {"192.0.2.3", "a&amp;b<b>.example.com"},
      {"2001:db8::1", "v6 <img src=x>.example.fr"},
      {"1", "one.example"},
  };
  for (const auto& r : records) AppendNameCacheEntry(cache, r[0], r[1]);
  cache.loadedCount = cache.usedCount;
  SortLoadedPart(cache);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RunStatePtr state = [] {
    auto s = NewRunState();
    FillCache(s->cache);
    return s;
  }();
  static FaultEnv platform;  // its clock text is fixed
  static const bool configured = [] {
    platform.nowSeconds = [] { return int64_t{0}; };
    platform.resolver = [](const std::string&) -> std::optional<std::string> { std::abort(); };
    return true;
  }();
  (void)configured;

  constexpr size_t kControlBytes = 6;
  uint8_t control[kControlBytes] = {};
  const size_t controlSize = std::min(size, kControlBytes);
  std::memcpy(control, data, controlSize);
  std::string_view log(reinterpret_cast<const char*>(data) + controlSize, size - controlSize);

  RunSettings& s = state->settings;
  s = RunSettings();
  s.proxyMode = control[0] & 1;
  s.userFromField2 = control[0] & 2;
  s.fullPageDetails = control[0] & 4;
  if (control[0] & 8) {
    static const char* const kSelect[] = {"", "get", "/a", "html"};
    s.selectOn = true;
    s.selectText = kSelect[control[2] & 3];
  }
  if (control[0] & 16) s.robotsMode = "rPt";
  if (control[0] & 32) s.excludedAddresses = {"10.", "192.0.2.9", ""};
  if (control[0] & 64) s.excludedTypes = {".gif", "?"};
  if (control[0] & 128) {
    s.excludedExtra1 = {"Mozilla", "\""};
    s.excludedExtra2 = {"-"};
  }
  // Offsets beyond a day, up to the ends of the field.
  s.hourOffset = control[1] == 0x80   ? INT32_MIN
                 : control[1] == 0x7F ? INT32_MAX
                                      : static_cast<int8_t>(control[1]);
  s.lookupMode = (control[3] & 2) ? 'X' : 'N';
  s.debugMode = (control[3] & 4) ? 'F' : '\0';
  s.showParameters = !(control[3] & 8);
  if (control[3] & 16) s.userLinkTemplate = "<a href=\"http://example.org/who?{user}\">";
  s.graphWidth = 50 + control[4] * 3;
  if (control[5] & 7) {
    int32_t limit = control[5] & 7;
    s.maxUsers = s.maxNations = 10 + limit;
    s.maxPages = s.maxDirs = s.maxNotFound = s.maxExtra1 = s.maxExtra2 = limit;
  }
  s.showUsers = !(control[5] & 8);
  s.showDates = s.showDays = !(control[5] & 16);
  s.showHours = !(control[5] & 32);
  s.showPages = s.showDirs = !(control[5] & 64);
  s.showCodes = s.showNations = !(control[5] & 128);
  Choices choices;
  choices.chunk = (control[2] >> 2) == 0 ? SIZE_MAX : 1 + (control[2] >> 2) * 61u;
  choices.blockSize = 4 * kLinePieceWidth + (control[3] >> 5) * 997u;
  choices.failAtEnd = control[3] & 1;

  const std::vector<std::string_view> pieces = Pieces(log, choices);

  // Every way of finding the markers finds the same fields in each piece.
  const LineRules rules(s);
  for (std::string_view piece : pieces) {
    LogRecord searched;
    ParseLogLineWith(MarkerScan::kSearch, piece, rules.format, searched);
    for (MarkerScan scan :
         {MarkerScan::kMarksPortable, MarkerScan::kMarksAvx2, MarkerScan::kMarksAvx512}) {
      if (!MarkerScanAvailable(scan)) continue;
      LogRecord marked;
      ParseLogLineWith(scan, piece, rules.format, marked);
      Check(*logvane::testing::RecordDifference(searched, marked) == '\0',
            "every scan finds the same fields");
    }
  }

  state->counters = RunCounters();
  state->tallies.users.ranFull = false;
  state->tallies.codes = ResponseCodeCounters{};
  std::string console;
  Console out(&console);
  {
    ChunkedSource source(std::string(log), choices.chunk, choices.failAtEnd);
    LogLineReader reader(source, kLinePieceWidth, choices.blockSize);
    ReadRecords(state->settings, state->tallies, state->counters, reader, out, platform);
  }
  {
    // The same log through the threaded phase, in blocks of a few lines so
    // that the log's lines fall on many block borders: the same console
    // and the same tallies.
    static RunStatePtr threaded = NewRunState();
    threaded->settings = s;
    threaded->counters = RunCounters();
    threaded->tallies.users.ranFull = false;
    threaded->tallies.codes = ResponseCodeCounters{};
    std::string threadedConsole;
    Console threadedOut(&threadedConsole);
    ChunkedSource source(std::string(log), choices.chunk, choices.failAtEnd);
    LogLineReader reader(source, kLinePieceWidth, choices.blockSize);
    ReadingPlan plan;
    plan.threads = 2 + (control[4] & 3);
    plan.blockLines = 1 + (control[4] >> 2 & 7);
    ReadRecords(threaded->settings, threaded->tallies, threaded->counters, reader, threadedOut,
                platform, plan);
    Check(threadedConsole == console, "threaded reading writes the same console");
    Check(fuzzing::SameReading(*state, *threaded), "threaded reading counts the same");
  }
  const RunCounters& counters = state->counters;
  const Tallies& t = state->tallies;
  const int64_t delivered = static_cast<int64_t>(pieces.size());
  std::string end =
      std::string(choices.failAtEnd ? "Error reading file...\n" : "End of file...\n") +
      "completed reading... processed: " + std::to_string(counters.processedCount) + " records.\n";
  Check(console.ends_with(end), "end lines");
  Check(counters.readError == choices.failAtEnd, "read error flag");

  // The counting rules against the pieces themselves.
  Check(counters.processedCount >= 0 && counters.processedCount <= delivered, "processed");
  const int64_t users = CheckSlots(t.users.slots, t.users.used, kUserCapacity, kKeyWidth);
  const int64_t dates = CheckTable(t.dates, kDateKeyWidth);
  const int64_t hours = CheckTable(t.hours, kHourKeyWidth);
  const int64_t pages = CheckTable(t.pages, kKeyWidth);
  const int64_t dirs = CheckTable(t.directories, kKeyWidth);
  const int64_t notFound = CheckTable(t.notFound, kKeyWidth);
  const int64_t extra1 = CheckTable(t.extra1, kKeyWidth);
  const int64_t extra2 = CheckTable(t.extra2, kKeyWidth);
  const int64_t rejected = static_cast<int64_t>(RejectedAtTheBracket(pieces));
  Check(users <= delivered - rejected && dates <= delivered - rejected, "user and date hits");
  Check(counters.pagesRequested <= delivered - rejected, "pages requested");
  if (!t.users.ranFull) Check(counters.pagesRequested <= users, "a new user per change");
  Check(hours <= delivered - rejected, "hour hits");
  if (t.dates.used < kDateCapacity) Check(hours <= dates, "an hour follows its date");
  if (t.hours.used < kHourCapacity) Check(dirs <= hours, "a directory follows its hour");
  Check(pages <= counters.processedCount && dirs <= counters.processedCount, "page hits");
  int64_t codes = 0;
  for (int64_t c : t.codes.counts) codes += c;
  Check(codes <= counters.processedCount, "response codes");
  Check(notFound <= ResponseCount(t.codes, 404), "not found");
  Check(extra1 <= counters.processedCount && extra2 <= counters.processedCount, "extras");
  Check(counters.hasExtra1 == (extra1 > 0), "hasExtra1");
  Check(counters.hasExtra2 == (extra2 > 0), "hasExtra2");
  // Without a selection every counted line either ended at the bracket or
  // reached the directory tally.
  if (!s.selectOn && t.directories.used < kDirectoryCapacity) {
    Check(counters.processedCount == rejected + dirs, "counted lines");
  }

  size_t sortingFrom = console.size();
  SortTallies(state->settings, state->counters, state->tallies, out);
  Check(console.substr(sortingFrom) == "sorting...\n\n\n", "sorting line");
  auto hits = [](const auto& e) { return e.hits; };
  if (s.showUsers) CheckOrder(t.users.slots, t.users.used, hits, false);
  if (s.showPages) CheckOrder(t.pages.slots, t.pages.used, hits, false);
  if (s.showCodes) CheckOrder(t.notFound.slots, t.notFound.used, hits, false);
  if (s.showDates) {
    CheckOrder(
        t.dates.slots, t.dates.used, [](const DateEntry& e) { return e.dateNumber; }, true);
  }
  if (s.showHours) {
    CheckOrder(
        t.hours.slots, t.hours.used, [](const HourEntry& e) { return e.hourNumber; }, true);
  }

  if (!LookupsOff(s)) {
    size_t cached = state->cache.usedCount;
    TranslateUserNames(state->settings, state->tallies.users, state->cache, state->userAddresses,
                       out, platform);
    Check(state->cache.usedCount == cached, "cache-only mode adds nothing");
  }

  (void)DeriveReportTotals(state->settings, state->tallies);
  std::string html;
  ReportWriter writer(&html);
  WriteReport(*state, writer, platform);
  Check(writer.Close().ok(), "report written");
  testing::MarkupFinding finding = testing::CheckOwnMarkup(html);
  if (!finding.problem.empty()) {
    std::fprintf(stderr, "foreign markup: %s\n", finding.problem.c_str());
    std::abort();
  }
  Check(
      html.find(": " + std::to_string(counters.processedCount) + " \n</font>") != std::string::npos,
      "processed count in the report");
  Check(html.ends_with("</body></html>\n"), "report ends");
  return 0;
}
