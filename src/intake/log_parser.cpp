#include "intake/log_parser.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "intake/byte_search.h"
#include "intake/log_time.h"
#include "intake/request_rules.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace logvane {

namespace {

// `count` characters from `from`, cut short where the line ends.
inline std::string_view Slice(std::string_view line, size_t from, size_t count) {
  if (from >= line.size()) return {};
  return line.substr(from, count);
}

}  // namespace

void BeginRecord(LogRecord& r, std::string_view line) {
  r.line = line;
  r.byteCount = 0;
  r.requestText.clear();
  r.hasClientAddress = false;
  r.clientAddress = {};
  r.userName = {};
  r.dateText.clear();
  r.hourText = {};
  r.page.clear();
  r.directory = {};
  r.statusCode = 0;
  r.hasExtra1 = false;
  r.hasExtra2 = false;
  r.extra1 = {};
  r.extra2 = {};
  r.userAgent = {};
  r.hasUserAgent = false;
  r.bracket = kNoPosition;
  r.twoDigitDay = false;
  r.requestOpen = kNoPosition;
  r.requestClose = kNoPosition;
  r.firstBlank = kNoPosition;
  r.urlStart = kNoPosition;
  r.urlEnd = kNoPosition;
  r.urlClose = kNoPosition;
  r.extrasEnd = kNoPosition;
  r.bracketFault = LineFault::kNone;
  r.selected = true;
  r.hourFault = LineFault::kNone;
  r.pageFault = LineFault::kNone;
}

namespace {

// The reader's pieces are at most 1997 bytes; a longer line (possible only
// through a direct call) is searched marker by marker instead.
constexpr size_t kMarkedWidth = 2048;
constexpr size_t kMarkWords = kMarkedWidth / 64;

// Bit i of word i / 64 is set where byte i of the line is the marker. Only
// the words that cover the line are written; the bits past its end are 0.
struct LineMarks {
  uint64_t bits[kMarkerCount][kMarkWords];
};

struct MarkSearch {
  std::string_view line;
  const LineMarks& marks;
  // The first marker at or after `from` and before `limit`: the lowest set
  // bit from there on.
  size_t In(Marker m, size_t from, size_t limit) const {
    if (limit > line.size()) limit = line.size();
    if (from >= limit) return kNoPosition;
    const uint64_t* words = marks.bits[m];
    size_t i = from >> 6;
    size_t last = (limit - 1) >> 6;
    uint64_t word = words[i] & (~uint64_t{0} << (from & 63));
    while (word == 0) {
      if (++i > last) return kNoPosition;
      word = words[i];
    }
    size_t at = (i << 6) + static_cast<size_t>(__builtin_ctzll(word));
    return at < limit ? at : kNoPosition;
  }
};

// One byte at a time: the reference for the marks themselves, on any
// processor.
void MarkPortable(std::string_view line, LineMarks& marks) {
  // The marker of each byte value, kMarkerCount for none.
  static constexpr auto kMarkerOf = [] {
    std::array<uint8_t, 256> of{};
    of.fill(kMarkerCount);
    for (unsigned m = 0; m < kMarkerCount; ++m) of[static_cast<uint8_t>(kMarkerChars[m])] = m;
    return of;
  }();
  size_t words = (line.size() + 63) / 64;
  for (auto& row : marks.bits) std::fill(row, row + words, uint64_t{0});
  for (size_t i = 0; i < line.size(); ++i) {
    unsigned m = kMarkerOf[static_cast<uint8_t>(line[i])];
    if (m != kMarkerCount) marks.bits[m][i >> 6] |= uint64_t{1} << (i & 63);
  }
}

// A line shorter than 64 bytes, copied into `tail` and padded with NULs,
// which mark nothing, so no byte past the line is read.
inline const char* PaddedShortLine(std::string_view line, char* tail) {
  std::memset(tail, 0, 64);
  std::memcpy(tail, line.data(), line.size());
  return tail;
}

#if defined(__x86_64__) || defined(__i386__)
#define LOGVANE_HAVE_X86_MARKS 1
// The marks of the 64 bytes at `p`, shifted down by `shift` bits, into word
// `w`.
__attribute__((target("avx2"))) inline void MarkBlockAvx2(const char* p, unsigned shift,
                                                          LineMarks& marks, size_t w) {
  __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  for (unsigned m = 0; m < kMarkerCount; ++m) {
    __m256i needle = _mm256_set1_epi8(kMarkerChars[m]);
    uint64_t b0 = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, needle)));
    uint64_t b1 = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, needle)));
    marks.bits[m][w] = (b0 | b1 << 32) >> shift;
  }
}

__attribute__((target("avx2"))) void MarkAvx2(std::string_view line, LineMarks& marks) {
  const char* p = line.data();
  size_t n = line.size();
  size_t at = 0;
  size_t w = 0;
  for (; at + 64 <= n; at += 64, ++w) MarkBlockAvx2(p + at, 0, marks, w);
  if (at == n) return;
  if (n >= 64) {
    // The last 64 bytes of the line, of which those before `at` are marked
    // already: shifted out, so the bits past the line's end are 0.
    MarkBlockAvx2(p + n - 64, static_cast<unsigned>(64 - (n - at)), marks, w);
    return;
  }
  alignas(32) char tail[64];
  MarkBlockAvx2(PaddedShortLine(line, tail), 0, marks, 0);
}

__attribute__((target("avx512bw"))) inline void MarkBlockAvx512(const char* p, unsigned shift,
                                                                LineMarks& marks, size_t w) {
  __m512i v = _mm512_loadu_si512(p);
  for (unsigned m = 0; m < kMarkerCount; ++m) {
    marks.bits[m][w] = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kMarkerChars[m])) >> shift;
  }
}

// As MarkAvx2, a compare giving the 64 bits at once.
__attribute__((target("avx512bw"))) void MarkAvx512(std::string_view line, LineMarks& marks) {
  const char* p = line.data();
  size_t n = line.size();
  size_t at = 0;
  size_t w = 0;
  for (; at + 64 <= n; at += 64, ++w) MarkBlockAvx512(p + at, 0, marks, w);
  if (at == n) return;
  if (n >= 64) {
    MarkBlockAvx512(p + n - 64, static_cast<unsigned>(64 - (n - at)), marks, w);
    return;
  }
  alignas(64) char tail[64];
  MarkBlockAvx512(PaddedShortLine(line, tail), 0, marks, 0);
}
#endif

template <typename S>
LineFault FindBracketWith(const S& s, LogRecord& r) {
  std::string_view line = r.line;
  size_t b = s.In(kOpenBracket, 0, kMarkerLimit);
  if (b == kNoPosition) return LineFault::kNoBracket;
  r.bracket = b;
  if (b + 3 < line.size() && line[b + 3] == '/') {
    r.twoDigitDay = true;
  } else if (b + 2 < line.size() && line[b + 2] == '/') {
    r.twoDigitDay = false;
  } else {
    return LineFault::kBadFormat;
  }
  return LineFault::kNone;
}

template <typename S>
void FindByteCountWith(const S& s, LogRecord& r) {
  size_t close = From(s, kCloseBracket, 0);
  size_t open = After(s, kQuote, close);
  size_t end = After(s, kQuote, open);
  r.requestOpen = open;
  r.requestClose = end;
  size_t blank = After(s, kBlank, After(s, kBlank, end));
  r.byteCount =
      blank == kNoPosition ? 0 : LeadingInteger(Slice(r.line, blank + 1, kNoPosition), false);
}

template <typename S>
bool FindClientAddressWith(const S& s, LogRecord& r) {
  size_t blank = s.In(kBlank, 0, kMarkerLimit);
  if (blank == kNoPosition) return false;
  r.firstBlank = blank;
  r.hasClientAddress = true;
  r.clientAddress = r.line.substr(0, std::min(blank, kClientAddressWidth));
  return true;
}

template <typename S>
void FindUserNameWith(const S& s, LogRecord& r, bool userFromField2) {
  r.userName = r.clientAddress;
  if (!userFromField2 || !r.hasClientAddress) return;
  std::string_view line = r.line;
  size_t dash = s.In(kDash, 0, kMarkerLimit);
  if (dash == kNoPosition) return;

  // A: from two after the first "-" to two before the "[" (the authuser
  // field when the ident field is "-").
  std::string_view a;
  if (r.bracket != kNoPosition && r.bracket >= dash + 3) {
    a = line.substr(dash + 2, std::min(r.bracket - dash - 3, kUserNameWidth));
  }
  if (IsUserName(a)) {
    r.userName = a;
    return;
  }

  // B: from just after the first blank to two before the first "-" that
  // lies at least two past it (the ident field).
  size_t bDash = From(s, kDash, r.firstBlank + 2);
  std::string_view b;
  if (bDash != kNoPosition) {
    b = line.substr(r.firstBlank + 1, std::min(bDash - r.firstBlank - 2, kUserNameWidth));
  }
  if (IsUserName(b)) r.userName = b;
}

template <typename S>
LineFault FindHourWith(const S& s, LogRecord& r) {
  size_t colon = s.In(kColon, r.bracket + 1, kMarkerLimit);
  if (colon == kNoPosition) return LineFault::kNoHour;
  r.hourText = Slice(r.line, colon + 1, kHourTextWidth);
  return LineFault::kNone;
}

template <typename S>
LineFault FindPageWith(const S& s, LogRecord& r, bool proxyMode, bool fullPageDetails) {
  std::string_view line = r.line;
  size_t quote = From(s, kQuote, 0);
  if (quote == kNoPosition) return LineFault::kNoPage;
  if (quote >= kMarkerLimit) return LineFault::kPageTooFar;
  size_t blank = From(s, kBlank, quote + 1);
  if (blank == kNoPosition) return LineFault::kBadPageA;
  size_t url = blank + 1;
  size_t close = From(s, kQuote, url);
  if (close == kNoPosition) return proxyMode ? LineFault::kBadPageD : LineFault::kBadPageB;
  size_t end = PageEnd(s, quote + 1, url, close, proxyMode, fullPageDetails);
  if (blank >= kMarkerLimit) return LineFault::kBadPageD;
  r.urlStart = url;
  r.urlEnd = end;
  r.urlClose = close;
  AssignLowercased(r.page, line.substr(url, end - url), line.data() + line.size());
  return LineFault::kNone;
}

template <typename S>
void FindDirectoryWith(const S& s, LogRecord& r) {
  r.directory = DirectoryOf(s, r.line, r.urlStart, r.urlClose);
}

template <typename S>
void FindExtrasWith(const S& s, LogRecord& r) {
  std::string_view line = r.line;
  r.hasExtra1 = r.hasExtra2 = false;
  r.extrasEnd = kNoPosition;
  if (r.urlClose == kNoPosition) return;
  size_t afterCode = From(s, kBlank, r.urlClose + 2);
  size_t afterBytes = After(s, kBlank, afterCode);
  size_t open1 = After(s, kQuote, afterBytes);
  size_t close1 = After(s, kQuote, open1);
  if (close1 == kNoPosition) return;
  r.hasExtra1 = true;
  r.extra1 = line.substr(open1 + 1, std::min(close1 - open1 - 1, kExtraWidth));
  r.extrasEnd = close1 + 1;
  size_t open2 = After(s, kQuote, close1);
  size_t close2 = After(s, kQuote, open2);
  if (close2 == kNoPosition) return;
  r.hasExtra2 = true;
  r.extra2 = line.substr(open2 + 1, std::min(close2 - open2 - 1, kExtraWidth));
  r.userAgent = line.substr(open2 + 1, close2 - open2 - 1);
  r.hasUserAgent = true;
  r.extrasEnd = close2 + 1;
}

template <typename S>
void ParseWith(const S& s, const LineFormat& format, LogRecord& r) {
  r.bracketFault = FindBracketWith(s, r);
  if (r.bracketFault != LineFault::kNone) return;
  FindByteCountWith(s, r);
  if (format.selectOn) {
    FindRequestText(r);
    r.selected = r.requestText.view().find(format.selectText) != std::string_view::npos;
    if (!r.selected) return;
  }
  if (FindClientAddressWith(s, r)) FindUserNameWith(s, r, format.userFromField2);
  FindDate(r);
  r.hourFault = FindHourWith(s, r);
  if (r.hourFault != LineFault::kNone) return;
  r.pageFault = FindPageWith(s, r, format.proxyMode, format.fullPageDetails);
  if (r.pageFault != LineFault::kNone) return;
  FindDirectoryWith(s, r);
  FindStatusCode(r);
  if (r.statusCode != 0) FindExtrasWith(s, r);
}

using MarkLine = void (*)(std::string_view, LineMarks&);

MarkLine MarkerFor(MarkerScan scan) {
  switch (scan) {
    case MarkerScan::kSearch: return nullptr;
    case MarkerScan::kMarksPortable: return MarkPortable;
#if defined(LOGVANE_HAVE_X86_MARKS)
    case MarkerScan::kMarksAvx2: return __builtin_cpu_supports("avx2") ? MarkAvx2 : nullptr;
    case MarkerScan::kMarksAvx512: return __builtin_cpu_supports("avx512bw") ? MarkAvx512 : nullptr;
#else
    case MarkerScan::kMarksAvx2:
    case MarkerScan::kMarksAvx512: return nullptr;
#endif
  }
  return nullptr;
}

}  // namespace

bool MarkerScanAvailable(MarkerScan scan) {
  return scan == MarkerScan::kSearch || MarkerFor(scan) != nullptr;
}

// Marking with SSE2 (four loads and 32 compares per 64 bytes) measured
// slower than searching sixteen bytes at a time, and so does marking byte by
// byte: without AVX2 the line is searched.
MarkerScan FastestMarkerScan() {
  if (MarkerScanAvailable(MarkerScan::kMarksAvx512)) return MarkerScan::kMarksAvx512;
  if (MarkerScanAvailable(MarkerScan::kMarksAvx2)) return MarkerScan::kMarksAvx2;
  return MarkerScan::kSearch;
}

namespace {

// Marks the line with `mark` and parses it from the marks; searches it when
// there is no `mark` or the line is too long to be marked.
void ParseMarked(MarkLine mark, std::string_view line, const LineFormat& format, LogRecord& r) {
  BeginRecord(r, line);
  if (mark == nullptr || line.size() > kMarkedWidth) {
    ParseWith(ScanSearch{line}, format, r);
    return;
  }
  LineMarks marks;  // only the words that cover the line are written and read
  mark(line, marks);
  ParseWith(MarkSearch{line, marks}, format, r);
}

}  // namespace

void ParseLogLineWith(MarkerScan scan, std::string_view line, const LineFormat& format,
                      LogRecord& r) {
  ParseMarked(MarkerFor(scan), line, format, r);
}

void ParseLogLine(std::string_view line, const LineFormat& format, LogRecord& r) {
  // The processor is asked once.
  static const MarkLine kFastest = MarkerFor(FastestMarkerScan());
  ParseMarked(kFastest, line, format, r);
}

LineFault FindBracket(LogRecord& r) { return FindBracketWith(ScanSearch{r.line}, r); }

void FindByteCount(LogRecord& r) { FindByteCountWith(ScanSearch{r.line}, r); }

void FindRequestText(LogRecord& r) {
  if (r.requestOpen == kNoPosition || r.requestClose == kNoPosition) {
    r.requestText.clear();
    return;
  }
  AssignLowercased(r.requestText,
                   r.line.substr(r.requestOpen + 1, r.requestClose - r.requestOpen - 1),
                   r.line.data() + r.line.size());
}

bool FindClientAddress(LogRecord& r) { return FindClientAddressWith(ScanSearch{r.line}, r); }

void FindUserName(LogRecord& r, bool userFromField2) {
  FindUserNameWith(ScanSearch{r.line}, r, userFromField2);
}

void FindDate(LogRecord& r) {
  std::string_view line = r.line;
  if (r.twoDigitDay) {
    r.dateText.assign(Slice(line, r.bracket + 1, kDateTextWidth));
    return;
  }
  std::string_view rest = Slice(line, r.bracket + 1, kDateTextWidth - 1);
  r.dateText.data[0] = '0';
  std::memcpy(r.dateText.data + 1, rest.data(), rest.size());
  r.dateText.size = static_cast<uint32_t>(rest.size() + 1);
}

LineFault FindHour(LogRecord& r) { return FindHourWith(ScanSearch{r.line}, r); }

void ReadBracketClock(LogRecord& r) {
  r.hasClock = r.bracketFault == LineFault::kNone && r.bracket != kNoPosition &&
               ClockFromLocal(r.line.substr(r.bracket + 1), &r.clock);
}

LineFault FindPage(LogRecord& r, bool proxyMode, bool fullPageDetails) {
  return FindPageWith(ScanSearch{r.line}, r, proxyMode, fullPageDetails);
}

void FindDirectory(LogRecord& r) { FindDirectoryWith(ScanSearch{r.line}, r); }

void FindStatusCode(LogRecord& r) {
  size_t close = r.urlClose;
  if (close == kNoPosition || close <= 10 || close >= 1995) {
    r.statusCode = 0;
    return;
  }
  int64_t code = LeadingInteger(Slice(r.line, close + 2, kNoPosition), false);
  r.statusCode = code > INT32_MAX   ? INT32_MAX
                 : code < INT32_MIN ? INT32_MIN
                                    : static_cast<int32_t>(code);
}

void FindExtras(LogRecord& r) { FindExtrasWith(ScanSearch{r.line}, r); }

}  // namespace logvane
