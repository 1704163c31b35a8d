// The text of a JSON string as the server meant it: nginx writes `\"`,
// `\\`, the short escapes and `\u00XX` under escape=json, and `\xHH` under
// its default escaping, which is not JSON but appears in logs that pose as
// JSON. Decoding never allocates: it writes into a buffer the caller owns.
#ifndef LOGVANE_INTAKE_JSON_TEXT_H_
#define LOGVANE_INTAKE_JSON_TEXT_H_

#include <cstddef>
#include <string_view>

namespace logvane {

struct DecodedText {
  size_t size;  // bytes written to the buffer
  size_t used;  // bytes of the input taken, the closing quote excluded
  bool closed;  // an unescaped quote ended the text
};

// Decodes `in`, the bytes after a string's opening quote, up to its closing
// quote, into `out`; reading stops once `capacity` bytes are written, since
// every field the record keeps has a width of its own. A broken escape is kept as written. \u
// escapes become UTF-8, a lone surrogate U+FFFD.
DecodedText DecodeJsonText(std::string_view in, char* out, size_t capacity);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_JSON_TEXT_H_
