// Searches for one byte in the short spans of a log line. Most of the
// bytes sought lie a few bytes from where the search starts, so sixteen
// bytes are compared at a time right here rather than in a library call.
#ifndef LOGVANE_INTAKE_BYTE_SEARCH_H_
#define LOGVANE_INTAKE_BYTE_SEARCH_H_

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logvane {

// The first `c` in text[from, limit), or std::string_view::npos. Every
// byte is ordinary, a NUL included.
inline size_t FindByte(std::string_view text, char c, size_t from, size_t limit) {
  if (limit > text.size()) limit = text.size();
  if (from >= limit) return std::string_view::npos;
  const char* base = text.data();
#if defined(__SSE2__)
  if (limit >= 16) {
    const __m128i needle = _mm_set1_epi8(c);
    for (; from + 16 <= limit; from += 16) {
      __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + from));
      unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, needle)));
      if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(mask));
    }
    if (from == limit) return std::string_view::npos;
    // The last sixteen bytes of the range, of which those before `from`
    // were searched already.
    size_t start = limit - 16;
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + start));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, needle)));
    mask >>= from - start;
    return mask != 0 ? from + static_cast<size_t>(__builtin_ctz(mask)) : std::string_view::npos;
  }
#endif
  for (; from < limit; ++from) {
    if (base[from] == c) return from;
  }
  return std::string_view::npos;
}

// True when `text` holds `part` at `at`; for the few bytes of a format's
// literal texts a loop beats a library call.
inline bool HasAt(std::string_view text, size_t at, std::string_view part) {
  if (at > text.size() || text.size() - at < part.size()) return false;
  for (size_t i = 0; i < part.size(); ++i) {
    if (text[at + i] != part[i]) return false;
  }
  return true;
}

}  // namespace logvane

#endif  // LOGVANE_INTAKE_BYTE_SEARCH_H_
