#include "intake/time_taken.h"

#include <string>

#include "platform/diagnostics.h"

namespace logvane {

namespace {

using Wide = unsigned __int128;

// 10^n for n up to 38.
constexpr Wide PowerOfTen(int n) {
  Wide p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// Microseconds in one unit, as a power of ten.
int UnitExponent(TimeUnit unit) {
  switch (unit) {
    case TimeUnit::kSeconds: return 6;
    case TimeUnit::kMilliseconds: return 3;
    case TimeUnit::kMicroseconds: return 0;
    case TimeUnit::kNanoseconds: return -3;
  }
  return 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// One decimal number, its value times 10^exponent rounded to the nearest
// whole number. Up to 38 significant digits are kept (in 128 bits): more
// than a 64-bit result can tell apart.
bool ParseNumber(std::string_view text, int exponent, uint64_t* out) {
  constexpr int kKept = 38;
  size_t i = 0;
  size_t n = text.size();
  Wide mantissa = 0;
  int kept = 0;  // significant digits in `mantissa`
  bool anyDigit = false;
  for (; i < n && IsDigit(text[i]); ++i) {
    anyDigit = true;
    if (kept == kKept) {
      ++exponent;  // a digit beyond those kept: the value is ten times larger
      continue;
    }
    mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
    if (mantissa != 0) ++kept;
  }
  if (i < n && text[i] == '.') {
    for (++i; i < n && IsDigit(text[i]); ++i) {
      anyDigit = true;
      if (kept == kKept) continue;
      mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
      if (mantissa != 0) ++kept;
      --exponent;
    }
  }
  if (!anyDigit) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = i < n && text[i] == '-';
    if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
    if (i == n || !IsDigit(text[i])) return false;
    int power = 0;
    for (; i < n && IsDigit(text[i]); ++i) {
      if (power < 100000) power = power * 10 + (text[i] - '0');
    }
    exponent += negative ? -power : power;
  }
  if (i != n) return false;
  Wide value = 0;
  if (mantissa == 0) {
    value = 0;
  } else if (exponent >= 0) {
    if (exponent >= 20 || mantissa > UINT64_MAX) return false;
    value = mantissa * PowerOfTen(exponent);  // below 2^64 * 10^19 < 2^128
  } else if (exponent >= -kKept) {
    Wide scale = PowerOfTen(-exponent);
    Wide rest = mantissa % scale;
    value = mantissa / scale + (rest >= scale - rest ? 1 : 0);  // halves round up
  }  // else below half a microsecond: mantissa < 10^38
  if (value > UINT64_MAX) return false;
  *out = static_cast<uint64_t>(value);
  return true;
}

bool IsUpstreamField(std::string_view field) {
  if (field.starts_with('$')) field.remove_prefix(1);
  return field.starts_with("upstream_") && field.ends_with("_time");
}

bool UnitNamed(std::string_view name, TimeUnit* unit) {
  if (name == "s") {
    *unit = TimeUnit::kSeconds;
  } else if (name == "ms") {
    *unit = TimeUnit::kMilliseconds;
  } else if (name == "us") {
    *unit = TimeUnit::kMicroseconds;
  } else if (name == "ns") {
    *unit = TimeUnit::kNanoseconds;
  } else {
    return false;
  }
  return true;
}

}  // namespace

namespace time_taken_detail {

bool ParseAnyTimeTaken(std::string_view text, TimeTakenForm form, uint64_t* micros) {
  int exponent = UnitExponent(form.unit);
  if (!form.list) {
    text = Trimmed(text);
    return text != "-" && ParseNumber(text, exponent, micros);
  }
  uint64_t sum = 0;
  bool anyValue = false;
  for (;;) {
    size_t end = text.find_first_of(",:");
    std::string_view item = Trimmed(text.substr(0, end));
    if (item != "-") {
      uint64_t value = 0;
      if (!ParseNumber(item, exponent, &value) || __builtin_add_overflow(sum, value, &sum)) {
        return false;
      }
      anyValue = true;
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  if (anyValue) *micros = sum;
  return anyValue;
}

}  // namespace time_taken_detail

std::optional<TimeTakenForm> TimeTakenFormOf(std::string_view field) {
  using enum TimeUnit;
  if (field == "%D" || field == "%{us}T" || field == "request_time_us") {
    return TimeTakenForm{kMicroseconds, false};
  }
  if (field == "%{ms}T" || field == "request_time_ms") return TimeTakenForm{kMilliseconds, false};
  if (field == "%T" || field == "%{s}T" || field == "$request_time" || field == "request_time" ||
      field == "duration" || field == "response_time") {
    return TimeTakenForm{kSeconds, false};
  }
  if (IsUpstreamField(field)) return TimeTakenForm{kSeconds, true};
  return std::nullopt;
}

Status ParseTimeFieldSetting(std::string_view value, TimeFieldChoice* choice) {
  std::string_view field = Trimmed(value);
  std::optional<TimeUnit> unit;
  size_t colon = field.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view name = Trimmed(field.substr(colon + 1));
    TimeUnit named;
    if (!UnitNamed(name, &named)) {
      return Status::Invalid({}, {}, "the unit " + Quoted(name) + " is none of s, ms, us and ns");
    }
    unit = named;
    field = Trimmed(field.substr(0, colon));
  }
  if (field.empty()) return Status::Invalid({}, {}, "no field is named");
  std::optional<TimeTakenForm> known = TimeTakenFormOf(field);
  TimeTakenForm form = known.value_or(TimeTakenForm{TimeUnit::kSeconds, IsUpstreamField(field)});
  if (unit) form.unit = *unit;
  choice->field = field;
  choice->form = form;
  return Status::Ok();
}

}  // namespace logvane
