// The rules both parsers share: the marker bytes a line is searched for,
// and how a request gives its page and directory. The marker parser applies
// them to a line, where the request runs from the first quote to the next;
// the format parsers apply them to the request field alone, so the same
// request gives the same page and directory whichever way it was logged.
#ifndef LOGVANE_INTAKE_REQUEST_RULES_H_
#define LOGVANE_INTAKE_REQUEST_RULES_H_

#include <cstddef>
#include <string_view>

#include "intake/byte_search.h"

namespace logvane {

inline constexpr size_t kNoPosition = std::string_view::npos;
inline constexpr size_t kDirectoryWidth = 50;

// The bytes the finders search for. A line is either searched marker by
// marker (ScanSearch, the reference) or marked once in a vector pass, one
// bit per byte and marker, and then searched bit by bit (the marker
// parser's MarkSearch). A searcher answers In(marker, from, limit): the
// first marker at or after `from` and before `limit`, or kNoPosition.
enum Marker : unsigned {
  kOpenBracket,
  kCloseBracket,
  kQuote,
  kBlank,
  kColon,
  kQuery,
  kSlash,
  kDash,
  kMarkerCount,
};

inline constexpr char kMarkerChars[kMarkerCount] = {'[', ']', '"', ' ', ':', '?', '/', '-'};

struct ScanSearch {
  std::string_view text;
  size_t In(Marker m, size_t from, size_t limit) const {
    return FindByte(text, kMarkerChars[m], from, limit);
  }
};

template <typename S>
inline size_t From(const S& s, Marker m, size_t from) {
  return s.In(m, from, kNoPosition);
}

// The first marker after position `p`; nothing when `p` itself was not found.
template <typename S>
inline size_t After(const S& s, Marker m, size_t p) {
  return p == kNoPosition ? kNoPosition : s.In(m, p + 1, kNoPosition);
}

// Where the page ends in a request whose text starts at `requestStart`,
// whose URL starts at `url` (after the method's blank) and which closes at
// `close`. A page ends at the URL's first blank; unless `fullPageDetails`,
// before its query: a "?" counts only inside the URL, one in the method is
// passed over. In proxy mode the page is the scheme and host: it ends at the
// first "/" from the URL's ninth character on ("http://host/path").
template <typename S>
size_t PageEnd(const S& s, size_t requestStart, size_t url, size_t close, bool proxyMode,
               bool fullPageDetails) {
  if (proxyMode) {
    size_t slash = s.In(kSlash, url + 8, close);
    return slash != kNoPosition ? slash : close;
  }
  size_t end = close;
  size_t urlBlank = s.In(kBlank, url, end);
  if (urlBlank != kNoPosition) end = urlBlank;
  if (!fullPageDetails) {
    size_t mark = s.In(kQuery, requestStart, end);
    if (mark != kNoPosition && mark >= url) end = mark;
  }
  return end;
}

// The URL's first path component (the text before its first blank, or its
// second "/"), or "/" when that holds a "." (a file at the top).
template <typename S>
std::string_view DirectoryOf(const S& s, std::string_view text, size_t url, size_t close) {
  size_t end = close;
  size_t blank = s.In(kBlank, url, end);
  if (blank != kNoPosition) end = blank;
  size_t slash = s.In(kSlash, url + 1, end);
  if (slash != kNoPosition) end = slash;
  size_t width = end - url < kDirectoryWidth ? end - url : kDirectoryWidth;
  std::string_view directory = text.substr(url, width);
  if (directory.find('.') != std::string_view::npos) directory = "/";
  return directory;
}

}  // namespace logvane

#endif  // LOGVANE_INTAKE_REQUEST_RULES_H_
