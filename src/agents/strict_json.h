// A small strict JSON reader for the little files Logvane takes beside its
// logs (a crawler list): the whole text becomes a tree, or an error with the
// byte where it went wrong. Nesting is bounded, so no file can exhaust the
// stack.
#ifndef LOGVANE_AGENTS_STRICT_JSON_H_
#define LOGVANE_AGENTS_STRICT_JSON_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace logvane {

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  std::string text;  // a string's value (UTF-8), or a number as written
  std::vector<JsonValue> items;
  // An object's members in file order: keys[i] names values[i]. (Two
  // vectors, since a pair cannot hold the type it is part of.)
  std::vector<std::string> keys;
  std::vector<JsonValue> values;
  size_t offset = 0;  // the byte where the value starts

  // The member named `key`, or nullptr.
  const JsonValue* Find(std::string_view key) const;
};

inline constexpr size_t kJsonMostDepth = 64;

// Parses `text` whole (white space around the value only). On an error,
// returns false with the byte offset and the reason.
bool ParseStrictJson(std::string_view text, JsonValue* out, size_t* errorOffset,
                     std::string* error);

}  // namespace logvane

#endif  // LOGVANE_AGENTS_STRICT_JSON_H_
