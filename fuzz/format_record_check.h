// Shared by the fuzz targets of the format-driven parsers: every line of a
// log through FormatParser, each record checked against the widths and
// stores it may use, then the whole reading phase over the same log, on one
// thread and on several with the same result.
#ifndef LOGVANE_FUZZ_FORMAT_RECORD_CHECK_H_
#define LOGVANE_FUZZ_FORMAT_RECORD_CHECK_H_

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "driver/run_state.h"
#include "intake/format_parser.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "platform/fault_env.h"
#include "same_reading.h"

namespace logvane::fuzzing {

inline void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

// A view of the record lies in its line or wholly elsewhere (the parser's
// stores, a fixed text such as the directory "/"), never across the line's
// end; AddressSanitizer watches the reads themselves.
inline bool Within(std::string_view v, const LogRecord& r) {
  const char* begin = r.line.data();
  const char* end = begin + r.line.size();
  bool inside = v.data() >= begin && v.data() + v.size() <= end;
  bool outside = v.data() + v.size() <= begin || v.data() >= end;
  return v.empty() || inside || outside;
}

inline void CheckRecord(const LogRecord& r) {
  if (r.bracketFault != LineFault::kNone || !r.selected) return;
  Check(!r.hasClientAddress || r.clientAddress.size() <= kClientAddressWidth, "client width");
  Check(r.userName.size() <= kUserNameWidth && Within(r.userName, r), "user");
  Check(Within(r.clientAddress, r), "client store");
  Check(r.dateText.size == kDateTextWidth && r.hourText.size() == 2, "day and hour");
  Check(r.page.size <= kPageWidth, "page width");
  if (r.pageFault == LineFault::kNone) {
    Check(r.directory.size() <= kDirectoryWidth && Within(r.directory, r), "directory");
  }
  Check(r.extra1.size() <= kExtraWidth && Within(r.extra1, r), "extra 1");
  Check(r.extra2.size() <= kExtraWidth && Within(r.extra2, r), "extra 2");
  if (r.hasClock) {
    const RecordTime& t = r.clock;
    Check(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 &&
              t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 60 &&
              t.offsetMinutes > -24 * 60 && t.offsetMinutes < 24 * 60,
          "a clock within its ranges");
  }
}

// Parses each line of `log` by `format`, then reads the whole log, on one
// thread and then on several in blocks of a few lines.
inline void RunFormat(const LogFormat& format, std::string_view log, const LineFormat& options) {
  FormatParser parser(format);
  static LogRecord record;
  // Exactly one line's store, so that a text written past it is caught.
  static const std::unique_ptr<char[]> store = std::make_unique<char[]>(kRecordTextWidth);
  size_t lines = 0;
  for (size_t at = 0; at < log.size();) {
    size_t end = log.find('\n', at);
    end = end == std::string_view::npos ? log.size() : end + 1;
    std::string_view line = log.substr(at, std::min(end - at, kFormatPieceWidth));
    at = end;
    if (line.size() == kFormatPieceWidth && !line.ends_with('\n')) continue;  // refused whole
    size_t used = parser.ParseInto(line, options, record, store.get());
    // The bound that sizes the threaded reader's decode stores.
    Check(used <= 2 * line.size() + 3 && used <= kRecordTextWidth, "store bytes");
    CheckRecord(record);
    ++lines;
  }
  static FaultEnv platform;  // its clock text is fixed
  static RunStatePtr states[2];
  std::string consoles[2];
  for (int threaded = 0; threaded < 2; ++threaded) {
    RunStatePtr& state = states[threaded];
    if (!state) state = NewRunState();
    state->counters = RunCounters();
    state->tallies.users.ranFull = false;
    state->tallies.codes = ResponseCodeCounters{};
    Console out(&consoles[threaded]);
    std::unique_ptr<LogSource> source = LogFromText(std::string(log));
    LogLineReader reader(*source);
    state->settings.selectOn = options.selectOn;
    state->settings.selectText = std::string(options.selectText);
    state->settings.userFromField2 = options.userFromField2;
    state->settings.proxyMode = options.proxyMode;
    state->settings.fullPageDetails = options.fullPageDetails;
    // The clock is read for a range that keeps about half of a day.
    state->settings.dateRange = DateRange{};
    if (options.readClock) {
      Check(ParseDateBound("2000-10-10T06:00Z", BoundKind::kFrom, &state->settings.dateRange.from)
                .ok(),
            "a bound");
      Check(ParseDateBound("2000-10-10T18:00", BoundKind::kUntil, &state->settings.dateRange.until)
                .ok(),
            "a bound");
    }
    ReadingPlan plan;
    if (threaded) {
      plan.threads = 2 + static_cast<int32_t>(log.size() % 3);
      plan.blockLines = 1 + log.size() / 3 % 5;
    }
    ReadRecords(state->settings, format, state->tallies, state->counters, reader, out, platform,
                plan);
  }
  const RunState& state = *states[0];
  Check(state.counters.unmatchedLines <= state.counters.processedCount, "unmatched counted");
  Check(state.counters.processedCount + state.counters.outOfRange <= static_cast<int64_t>(lines),
        "processed at most read");
  Check(state.tallies.times.overall.count <= static_cast<uint64_t>(lines), "times at most read");
  Check(consoles[1] == consoles[0], "threaded reading writes the same console");
  Check(fuzzing::SameReading(state, *states[1]) &&
            states[1]->counters.unmatchedLines == state.counters.unmatchedLines &&
            states[1]->counters.firstUnmatched == state.counters.firstUnmatched,
        "threaded reading counts the same");
}

}  // namespace logvane::fuzzing

#endif  // LOGVANE_FUZZ_FORMAT_RECORD_CHECK_H_
