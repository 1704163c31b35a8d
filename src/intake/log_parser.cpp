#include "intake/log_parser.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logvane {

namespace {

// The first `c` at or after `from` and before `limit` (both 0-based), or
// kNoPosition. Every byte is ordinary, a NUL included. Most markers lie a
// few bytes from where their search starts, so sixteen bytes are compared
// at a time right here rather than in a library call.
inline size_t FindIn(std::string_view line, char c, size_t from, size_t limit) {
  if (limit > line.size()) limit = line.size();
  if (from >= limit) return kNoPosition;
  const char* base = line.data();
#if defined(__SSE2__)
  if (limit >= 16) {
    const __m128i needle = _mm_set1_epi8(c);
    while (from + 16 <= limit) {
      __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + from));
      unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, needle)));
      if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(mask));
      from += 16;
    }
    if (from == limit) return kNoPosition;
    // The last sixteen bytes of the range, of which those before `from`
    // were searched already.
    size_t start = limit - 16;
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + start));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, needle)));
    mask >>= from - start;
    return mask != 0 ? from + static_cast<size_t>(__builtin_ctz(mask)) : kNoPosition;
  }
  for (; from < limit; ++from) {
    if (base[from] == c) return from;
  }
  return kNoPosition;
#else
  const void* hit = std::memchr(base + from, c, limit - from);
  return hit == nullptr ? kNoPosition : static_cast<size_t>(static_cast<const char*>(hit) - base);
#endif
}

inline size_t FindFrom(std::string_view line, char c, size_t from) {
  return FindIn(line, c, from, line.size());
}

// The first `c` after position `p`; nothing when `p` itself was not found.
inline size_t FindAfter(std::string_view line, char c, size_t p) {
  return p == kNoPosition ? kNoPosition : FindFrom(line, c, p + 1);
}

// `count` characters from `from`, cut short where the line ends.
inline std::string_view Slice(std::string_view line, size_t from, size_t count) {
  if (from >= line.size()) return {};
  return line.substr(from, count);
}

// `text`, a part of `line`, lowercased into `out` and cut to its capacity.
// Sixteen bytes go at a time while both the line and the store have room
// for them; bytes written past the text's end are not part of the value.
template <size_t N>
void AssignLowercased(FixedText<N>& out, std::string_view text, std::string_view line) {
  size_t n = std::min(text.size(), N);
  size_t i = 0;
#if defined(__SSE2__)
  const char* lineEnd = line.data() + line.size();
  const __m128i offset = _mm_set1_epi8(0x80 - 'A');
  const __m128i bound = _mm_set1_epi8(-128 + 26);
  const __m128i caseBit = _mm_set1_epi8(0x20);
  while (i < n && i + 16 <= N && text.data() + i + 16 <= lineEnd) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    __m128i upper = _mm_cmplt_epi8(_mm_add_epi8(v, offset), bound);
    v = _mm_or_si128(v, _mm_and_si128(upper, caseBit));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data + i), v);
    i += 16;
  }
#else
  (void)line;
#endif
  for (; i < n; ++i) {
    char c = text[i];
    out.data[i] = static_cast<unsigned char>(c - 'A') < 26 ? static_cast<char>(c + ('a' - 'A')) : c;
  }
  out.size = static_cast<uint32_t>(n);
}

// The decimal number at `from`: blanks and tabs skipped, an optional sign,
// digits up to the first other byte; as LeadingInteger, saturating.
inline int64_t NumberAt(std::string_view line, size_t from) {
  if (from >= line.size()) return 0;
  const char* p = line.data() + from;
  const char* end = line.data() + line.size();
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  constexpr int64_t kLimit = INT64_MAX / 10 - 10;
  int64_t value = 0;
  for (; p < end; ++p) {
    unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
    if (digit > 9) break;
    if (value < kLimit) value = value * 10 + digit;
  }
  return negative ? -value : value;
}

// A candidate name under USER=FIELD2 is taken when it is more than a "-".
inline bool IsName(std::string_view candidate) {
  return candidate.size() > 1 && candidate != "-";
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

void ParseLogLine(std::string_view line, const LineFormat& format, LogRecord& r) {
  BeginRecord(r, line);
  r.bracketFault = FindBracket(r);
  if (r.bracketFault != LineFault::kNone) return;
  FindByteCount(r);
  if (format.selectOn) {
    FindRequestText(r);
    r.selected = r.requestText.view().find(format.selectText) != std::string_view::npos;
    if (!r.selected) return;
  }
  if (FindClientAddress(r)) FindUserName(r, format.userFromField2);
  FindDate(r);
  r.hourFault = FindHour(r);
  if (r.hourFault != LineFault::kNone) return;
  r.pageFault = FindPage(r, format.proxyMode, format.fullPageDetails);
  if (r.pageFault != LineFault::kNone) return;
  FindDirectory(r);
  FindStatusCode(r);
  if (r.statusCode != 0) FindExtras(r);
}

LineFault FindBracket(LogRecord& r) {
  std::string_view line = r.line;
  size_t b = FindIn(line, '[', 0, kMarkerLimit);
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

void FindByteCount(LogRecord& r) {
  std::string_view line = r.line;
  size_t close = FindFrom(line, ']', 0);
  size_t open = FindAfter(line, '"', close);
  size_t end = FindAfter(line, '"', open);
  r.requestOpen = open;
  r.requestClose = end;
  size_t blank = FindAfter(line, ' ', FindAfter(line, ' ', end));
  r.byteCount = blank == kNoPosition ? 0 : NumberAt(line, blank + 1);
}

void FindRequestText(LogRecord& r) {
  if (r.requestOpen == kNoPosition || r.requestClose == kNoPosition) {
    r.requestText.clear();
    return;
  }
  AssignLowercased(r.requestText,
                   r.line.substr(r.requestOpen + 1, r.requestClose - r.requestOpen - 1), r.line);
}

bool FindClientAddress(LogRecord& r) {
  size_t blank = FindIn(r.line, ' ', 0, kMarkerLimit);
  if (blank == kNoPosition) return false;
  r.firstBlank = blank;
  r.hasClientAddress = true;
  r.clientAddress = r.line.substr(0, std::min(blank, kClientAddressWidth));
  return true;
}

void FindUserName(LogRecord& r, bool userFromField2) {
  r.userName = r.clientAddress;
  if (!userFromField2 || !r.hasClientAddress) return;
  std::string_view line = r.line;
  size_t dash = FindIn(line, '-', 0, kMarkerLimit);
  if (dash == kNoPosition) return;

  // A: from two after the first "-" to two before the "[" (the authuser
  // field when the ident field is "-").
  std::string_view a;
  if (r.bracket != kNoPosition && r.bracket >= dash + 3) {
    a = line.substr(dash + 2, std::min(r.bracket - dash - 3, kUserNameWidth));
  }
  if (IsName(a)) {
    r.userName = a;
    return;
  }

  // B: from just after the first blank to two before the first "-" that
  // lies at least two past it (the ident field).
  size_t bDash = FindFrom(line, '-', r.firstBlank + 2);
  std::string_view b;
  if (bDash != kNoPosition) {
    b = line.substr(r.firstBlank + 1, std::min(bDash - r.firstBlank - 2, kUserNameWidth));
  }
  if (IsName(b)) r.userName = b;
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

LineFault FindHour(LogRecord& r) {
  size_t colon = FindIn(r.line, ':', r.bracket + 1, kMarkerLimit);
  if (colon == kNoPosition) return LineFault::kNoHour;
  r.hourText = Slice(r.line, colon + 1, kHourTextWidth);
  return LineFault::kNone;
}

LineFault FindPage(LogRecord& r, bool proxyMode, bool fullPageDetails) {
  std::string_view line = r.line;
  size_t quote = FindFrom(line, '"', 0);
  if (quote == kNoPosition) return LineFault::kNoPage;
  if (quote >= kMarkerLimit) return LineFault::kPageTooFar;
  size_t blank = FindFrom(line, ' ', quote + 1);
  if (blank == kNoPosition) return LineFault::kBadPageA;
  size_t url = blank + 1;
  size_t close = FindFrom(line, '"', url);
  size_t end;
  if (!proxyMode) {
    if (close == kNoPosition) return LineFault::kBadPageB;
    end = close;
    size_t urlBlank = FindIn(line, ' ', url, end);
    if (urlBlank != kNoPosition) end = urlBlank;
    if (!fullPageDetails) {
      // Only a "?" inside the URL cuts it; one before the URL is passed over.
      size_t mark = FindIn(line, '?', quote + 1, end);
      if (mark != kNoPosition && mark >= url) end = mark;
    }
  } else {
    if (close == kNoPosition) return LineFault::kBadPageD;
    // For "http://host/path" the first "/" from the ninth character on ends
    // the host.
    size_t slash = FindIn(line, '/', url + 8, close);
    end = slash != kNoPosition ? slash : close;
  }
  if (blank >= kMarkerLimit) return LineFault::kBadPageD;
  r.urlStart = url;
  r.urlEnd = end;
  r.urlClose = close;
  AssignLowercased(r.page, line.substr(url, end - url), line);
  return LineFault::kNone;
}

void FindDirectory(LogRecord& r) {
  std::string_view line = r.line;
  size_t url = r.urlStart;
  size_t end = r.urlClose;
  size_t blank = FindIn(line, ' ', url, end);
  if (blank != kNoPosition) end = blank;
  size_t slash = FindIn(line, '/', url + 1, end);
  if (slash != kNoPosition) end = slash;
  std::string_view directory = line.substr(url, std::min(end - url, kDirectoryWidth));
  if (directory.find('.') != std::string_view::npos) directory = "/";
  r.directory = directory;
}

void FindStatusCode(LogRecord& r) {
  size_t close = r.urlClose;
  if (close == kNoPosition || close <= 10 || close >= 1995) {
    r.statusCode = 0;
    return;
  }
  int64_t code = NumberAt(r.line, close + 2);
  r.statusCode = code > INT32_MAX ? INT32_MAX : code < INT32_MIN ? INT32_MIN
                                                                 : static_cast<int32_t>(code);
}

void FindExtras(LogRecord& r) {
  std::string_view line = r.line;
  r.hasExtra1 = r.hasExtra2 = false;
  r.extrasEnd = kNoPosition;
  if (r.urlClose == kNoPosition) return;
  size_t afterCode = FindFrom(line, ' ', r.urlClose + 2);
  size_t afterBytes = FindAfter(line, ' ', afterCode);
  size_t open1 = FindAfter(line, '"', afterBytes);
  size_t close1 = FindAfter(line, '"', open1);
  if (close1 == kNoPosition) return;
  r.hasExtra1 = true;
  r.extra1 = line.substr(open1 + 1, std::min(close1 - open1 - 1, kExtraWidth));
  r.extrasEnd = close1 + 1;
  size_t open2 = FindAfter(line, '"', close1);
  size_t close2 = FindAfter(line, '"', open2);
  if (close2 == kNoPosition) return;
  r.hasExtra2 = true;
  r.extra2 = line.substr(open2 + 1, std::min(close2 - open2 - 1, kExtraWidth));
  r.extrasEnd = close2 + 1;
}

namespace {

bool IsTerminalControl(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t') || u == 0x7f;
}

// Writes a log line for the operator to read: its own line end is kept,
// every other control byte becomes "?", so a line written by a stranger
// cannot move the cursor, retitle or reprogram the operator's terminal.
void WriteLineForConsole(std::string_view line, Console& console) {
  std::string_view end;
  if (line.ends_with("\r\n")) {
    end = line.substr(line.size() - 2);
  } else if (line.ends_with('\n')) {
    end = line.substr(line.size() - 1);
  }
  line.remove_suffix(end.size());
  size_t start = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (!IsTerminalControl(line[i])) continue;
    console.Write(line.substr(start, i - start));
    console.WriteChar('?');
    start = i + 1;
  }
  console.Write(line.substr(start));
  console.Write(end);
}

}  // namespace

void ReportLineFault(LineFault fault, std::string_view line, Console& console) {
  std::string_view prefix;
  switch (fault) {
    case LineFault::kNone:
    case LineFault::kNoMatch:
      return;
    case LineFault::kNoBracket:
      console.WriteChar('~');
      return;
    case LineFault::kBadFormat:
      console.Line("*REJECTED LINE due to bad format*");
      console.Flush();
      return;
    case LineFault::kNoHour:
      prefix = "Hour Not Found in: ";
      break;
    case LineFault::kNoPage:
      prefix = " NO PAGE/0: ";
      break;
    case LineFault::kPageTooFar:
      prefix = "Page not found in: ";
      break;
    case LineFault::kBadPageA:
      prefix = " BAD PAGE/a: ";
      break;
    case LineFault::kBadPageB:
      prefix = " BAD PAGE/b: ";
      break;
    case LineFault::kBadPageD:
      prefix = " BAD PAGE/d: ";
      break;
  }
  console.Write(prefix);
  WriteLineForConsole(line, console);
  console.Write("\n");
}

}  // namespace logvane
