#include "agents/strict_json.h"

#include <cstdint>

namespace logvane {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Document(JsonValue* out) {
    SkipSpace();
    if (!Value(out, 0)) return false;
    SkipSpace();
    if (at_ != text_.size()) return Fail("text after the end of the value");
    return true;
  }
  size_t errorOffset() const { return errorOffset_; }
  std::string& error() { return error_; }

 private:
  bool Fail(std::string why) {
    errorOffset_ = at_;
    error_ = std::move(why);
    return false;
  }
  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Fail("not a JSON value");
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue* out, size_t depth) {
    if (depth >= kJsonMostDepth) return Fail("nested too deeply");
    out->offset = at_;
    if (at_ >= text_.size()) return Fail("the text ends where a value should be");
    switch (text_[at_]) {
      case '{': return Object(out, depth);
      case '[': return Array(out, depth);
      case '"': out->type = JsonValue::Type::kString; return String(&out->text);
      case 't':
        out->type = JsonValue::Type::kBool;
        out->boolean = true;
        return Literal("true");
      case 'f': out->type = JsonValue::Type::kBool; return Literal("false");
      case 'n': return Literal("null");
      default: return Number(out);
    }
  }

  bool Object(JsonValue* out, size_t depth) {
    out->type = JsonValue::Type::kObject;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == '}') {
      ++at_;
      return true;
    }
    while (true) {
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a quoted key");
      std::string key;
      if (!String(&key)) return false;
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != ':') return Fail("expected ':' after a key");
      ++at_;
      SkipSpace();
      out->keys.push_back(std::move(key));
      out->values.emplace_back();
      if (!Value(&out->values.back(), depth + 1)) return false;
      SkipSpace();
      if (at_ < text_.size() && text_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == '}') {
        ++at_;
        return true;
      }
      return Fail("expected ',' or '}' in an object");
    }
  }

  bool Array(JsonValue* out, size_t depth) {
    out->type = JsonValue::Type::kArray;
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == ']') {
      ++at_;
      return true;
    }
    while (true) {
      SkipSpace();
      out->items.emplace_back();
      if (!Value(&out->items.back(), depth + 1)) return false;
      SkipSpace();
      if (at_ < text_.size() && text_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == ']') {
        ++at_;
        return true;
      }
      return Fail("expected ',' or ']' in an array");
    }
  }

  bool Number(JsonValue* out) {
    size_t start = at_;
    auto digits = [this] {
      size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!digits()) {
      at_ = start;
      return Fail("not a JSON value");
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!digits()) return Fail("a number needs digits after '.'");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return Fail("a number needs digits in its exponent");
    }
    out->type = JsonValue::Type::kNumber;
    out->text.assign(text_.substr(start, at_ - start));
    return true;
  }

  static void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
      *out += static_cast<char>(code);
    } else if (code < 0x800) {
      *out += static_cast<char>(0xC0 | (code >> 6));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      *out += static_cast<char>(0xE0 | (code >> 12));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (code >> 18));
      *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool Hex4(uint32_t* code) {
    if (at_ + 4 > text_.size()) return Fail("a \\u escape needs four hex digits");
    *code = 0;
    for (size_t i = 0; i < 4; ++i) {
      char c = text_[at_ + i];
      uint32_t d;
      if (c >= '0' && c <= '9') {
        d = static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        d = static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        d = static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return Fail("a \\u escape needs four hex digits");
      }
      *code = *code * 16 + d;
    }
    at_ += 4;
    return true;
  }

  // A string at text_[at_] == '"'.
  bool String(std::string* out) {
    ++at_;
    out->clear();
    while (true) {
      if (at_ >= text_.size()) return Fail("a string is not closed");
      char c = text_[at_];
      if (c == '"') {
        ++at_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character in a string");
      if (c != '\\') {
        *out += c;
        ++at_;
        continue;
      }
      if (++at_ >= text_.size()) return Fail("a string is not closed");
      char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/': *out += e; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u': {
          uint32_t code;
          if (!Hex4(&code)) return false;
          if (code >= 0xD800 && code < 0xDC00) {
            uint32_t low;
            if (text_.substr(at_, 2) != "\\u") return Fail("a lone surrogate in a \\u escape");
            at_ += 2;
            if (!Hex4(&low)) return false;
            if (low < 0xDC00 || low >= 0xE000) return Fail("a lone surrogate in a \\u escape");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            return Fail("a lone surrogate in a \\u escape");
          }
          AppendUtf8(code, out);
          break;
        }
        default: --at_; return Fail("an unknown escape in a string");
      }
    }
  }

  std::string_view text_;
  size_t at_ = 0;
  size_t errorOffset_ = 0;
  std::string error_;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == key) return &values[i];
  }
  return nullptr;
}

bool ParseStrictJson(std::string_view text, JsonValue* out, size_t* errorOffset,
                     std::string* error) {
  *out = JsonValue();
  Parser parser(text);
  if (parser.Document(out)) return true;
  *errorOffset = parser.errorOffset();
  *error = std::move(parser.error());
  *out = JsonValue();
  return false;
}

}  // namespace logvane
