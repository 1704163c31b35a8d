#include "intake/log_format.h"

#include "common/ascii_text.h"

namespace logvane {

namespace {

// Each named field with its meaning as an nginx variable (in format
// strings) and as a JSON key; kOther where the name means nothing there.
constexpr NamedField kNamedFields[] = {
    {"remote_addr", FieldRole::kClient, FieldRole::kClient},
    {"remote_user", FieldRole::kAuthUser, FieldRole::kAuthUser},
    {"time_local", FieldRole::kTimeLocal, FieldRole::kTimeLocal},
    {"time_iso8601", FieldRole::kTimeIso, FieldRole::kTimeIso},
    {"msec", FieldRole::kTimeSec, FieldRole::kTimeSec},
    {"request", FieldRole::kRequest, FieldRole::kRequest},
    {"request_method", FieldRole::kMethod, FieldRole::kMethod},
    {"request_uri", FieldRole::kUri, FieldRole::kUri},
    {"server_protocol", FieldRole::kProtocol, FieldRole::kProtocol},
    {"status", FieldRole::kStatus, FieldRole::kStatus},
    {"body_bytes_sent", FieldRole::kBytes, FieldRole::kBodyBytes},
    {"bytes_sent", FieldRole::kBytes, FieldRole::kBytes},
    {"http_referer", FieldRole::kOther, FieldRole::kReferer},
    {"http_user_agent", FieldRole::kOther, FieldRole::kUserAgent},
    // The aliases of JSON logs.
    {"client", FieldRole::kOther, FieldRole::kClient},
    {"client_ip", FieldRole::kOther, FieldRole::kClient},
    {"time", FieldRole::kOther, FieldRole::kTimeAny},
    {"timestamp", FieldRole::kOther, FieldRole::kTimeAny},
    {"@timestamp", FieldRole::kOther, FieldRole::kTimeAny},
    {"method", FieldRole::kOther, FieldRole::kMethod},
    {"uri", FieldRole::kOther, FieldRole::kPath},
    {"protocol", FieldRole::kOther, FieldRole::kProtocol},
    {"referer", FieldRole::kOther, FieldRole::kReferer},
    {"user_agent", FieldRole::kOther, FieldRole::kUserAgent},
    // The time taken, in seconds, under the keys JSON logs give it (nginx's
    // variables in a format string are chosen by name, TimeTakenFieldOf).
    {"request_time", FieldRole::kOther, FieldRole::kTimeTaken},
    {"response_time", FieldRole::kOther, FieldRole::kTimeTaken},
    {"duration", FieldRole::kOther, FieldRole::kTimeTaken},
    {"upstream_response_time", FieldRole::kOther, FieldRole::kTimeTaken},
};

bool IsVariableChar(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// A header name as nginx spells its variable: lowercase, "-" as "_".
std::string VariableSpelling(std::string_view header) {
  std::string out;
  for (char c : header) out += c == '-' ? '_' : FoldChar(c);
  return out;
}

FieldName NginxField(std::string_view variable) {
  FieldName f;
  std::string name = Lowercased(variable);
  f.role = NginxVariableRole(name);
  if (f.role == FieldRole::kOther) f.name = name;
  return f;
}

// One Apache directive at text[p] (just after the "%"): its field, and
// how many characters it takes. `literal` is set instead for "%%".
struct Directive {
  size_t length = 0;
  FieldName field;
  bool isTime = false;  // %t: the field sits between brackets
  bool isPercent = false;
  std::string error;
};

// %t and %{...}t: the request's time in one of its forms, or a field of
// its own (msec_frac and the like).
void TimeDirective(std::string_view argument, Directive& d) {
  FieldName& f = d.field;
  std::string_view form = argument;
  if (form.starts_with("begin:")) form.remove_prefix(6);
  if (form.starts_with("end:")) form.remove_prefix(4);
  if (argument.empty()) {
    f.role = FieldRole::kTimeLocal;
    d.isTime = true;
  } else if (form == "sec") {
    f.role = FieldRole::kTimeSec;
  } else if (form == "msec") {
    f.role = FieldRole::kTimeMsec;
  } else if (form == "usec") {
    f.role = FieldRole::kTimeUsec;
  } else if (!form.empty() && form.find('%') != std::string_view::npos) {
    // A strftime layout: read as whichever known form it produces.
    f.role = FieldRole::kTimeAny;
  } else {
    f.name = "time_" + std::string(form);
  }
}

// The field a directive's letter (with its {argument}) logs.
void LetterField(char letter, std::string_view argument, Directive& d) {
  FieldName& f = d.field;
  switch (letter) {
    case '%': d.isPercent = true; break;
    case 'a':
    case 'h': f.role = FieldRole::kClient; break;
    case 'l': f.role = FieldRole::kIdent; break;
    case 'u': f.role = FieldRole::kAuthUser; break;
    case 'r': f.role = FieldRole::kRequest; break;
    case 'm': f.role = FieldRole::kMethod; break;
    case 'U': f.role = FieldRole::kUri; break;
    case 'H': f.role = FieldRole::kProtocol; break;
    case 's': f.role = FieldRole::kStatus; break;
    case 'b':
    case 'B':
    case 'O': f.role = FieldRole::kBytes; break;
    case 'v':
    case 'V': f.name = "server_name"; break;
    case 'p': f.name = "server_port"; break;
    case 'D': f.name = "request_time_us"; break;
    // %{UNIT}T: the unit is part of the name, so the time is read in it.
    case 'T':
      f.name = argument == "ms"   ? "request_time_ms"
               : argument == "us" ? "request_time_us"
                                  : "request_time";
      break;
    case 'q': f.name = "query_string"; break;
    case 'i': f.name = "http_" + VariableSpelling(argument); break;
    case 'o': f.name = "sent_http_" + VariableSpelling(argument); break;
    case 'C': f.name = "cookie_" + VariableSpelling(argument); break;
    case 'e': f.name = "env_" + VariableSpelling(argument); break;
    case 'n': f.name = "note_" + VariableSpelling(argument); break;
    case 't': TimeDirective(argument, d); break;
    default: f.name = std::string("apache_") + letter; break;
  }
}

Directive ApacheDirective(std::string_view text, size_t p) {
  Directive d;
  size_t i = p;
  // Conditions and the original/final markers: %400,501{...}i, %>s, %!200i.
  while (i < text.size() && (text[i] == '<' || text[i] == '>' || text[i] == '!' || text[i] == ',' ||
                             IsDigit(text[i]))) {
    ++i;
  }
  std::string_view argument;
  if (i < text.size() && text[i] == '{') {
    size_t close = text.find('}', i);
    if (close == std::string_view::npos) {
      d.error = "a %{ without its }";
      return d;
    }
    argument = text.substr(i + 1, close - i - 1);
    i = close + 1;
  }
  if (i >= text.size()) {
    d.error = "a % at the end";
    return d;
  }
  d.length = i + 1 - p;
  LetterField(text[i], argument, d);
  return d;
}

class Builder {
 public:
  explicit Builder(LogFormat* format) : f_(format) {}
  void Literal(std::string_view text) {
    if (text.empty()) return;
    if (!f_->items.empty() && !f_->items.back().literal.empty()) {
      f_->items.back().literal += text;
    } else {
      f_->items.push_back({std::string(text), {}, false});
    }
  }
  bool Field(FieldName field, std::string_view written, std::string* error) {
    if (!f_->items.empty() && f_->items.back().literal.empty()) {
      *error = "two fields with nothing between them before " + std::string(written);
      return false;
    }
    f_->items.push_back({"", std::move(field), false});
    return true;
  }

 private:
  LogFormat* f_;
};

bool CompileApache(std::string_view text, LogFormat* format, std::string* error) {
  Builder b(format);
  std::string plain;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      // The escapes of an Apache configuration string, so a LogFormat
      // argument can be pasted as written there.
      char e = text[i + 1];
      plain += e == 't' ? '\t' : e == 'n' ? '\n' : e;
      i += 2;
      continue;
    }
    if (c != '%') {
      plain += c;
      ++i;
      continue;
    }
    Directive d = ApacheDirective(text, i + 1);
    if (!d.error.empty()) {
      *error = d.error;
      return false;
    }
    std::string_view written = text.substr(i, d.length + 1);
    i += d.length + 1;
    if (d.isPercent) {
      plain += '%';
      continue;
    }
    if (d.isTime) plain += '[';
    b.Literal(plain);
    plain.clear();
    // %U%q is the request URI with its query: one field.
    if (d.field.role == FieldRole::kUri && text.substr(i, 2) == "%q") i += 2;
    if (!b.Field(std::move(d.field), written, error)) return false;
    if (d.isTime) plain += ']';
  }
  b.Literal(plain);
  return true;
}

// nginx's configuration quotes: '...' '...' pieces are joined.
std::string NginxUnquoted(std::string_view text) {
  if (text.empty() || text[0] != '\'') return std::string(text);
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '\'') {
      ++i;
      continue;
    }
    size_t close = text.find('\'', i + 1);
    if (close == std::string_view::npos) close = text.size();
    out += text.substr(i + 1, close - i - 1);
    i = close + 1;
  }
  return out;
}

bool CompileNginx(std::string_view value, LogFormat* format, std::string* error) {
  std::string text = NginxUnquoted(value);
  Builder b(format);
  std::string plain;
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '$') {
      plain += text[i++];
      continue;
    }
    size_t start = i + 1, end;
    std::string_view name;
    if (start < text.size() && text[start] == '{') {
      end = text.find('}', start);
      if (end == std::string::npos) {
        *error = "a ${ without its }";
        return false;
      }
      name = std::string_view(text).substr(start + 1, end - start - 1);
      ++end;
    } else {
      end = start;
      while (end < text.size() && IsVariableChar(text[end])) ++end;
      name = std::string_view(text).substr(start, end - start);
    }
    if (name.empty()) {
      plain += '$';
      ++i;
      continue;
    }
    b.Literal(plain);
    plain.clear();
    if (!b.Field(NginxField(name), std::string_view(text).substr(i, end - i), error)) {
      return false;
    }
    i = end;
  }
  b.Literal(plain);
  return true;
}

// Marks the fields that stand between double quotes, and checks that the
// record can be filled.
bool Finish(LogFormat* format, std::string* error) {
  bool time = false, request = false;
  auto& items = format->items;
  for (size_t i = 0; i < items.size(); ++i) {
    FormatItem& item = items[i];
    if (!item.literal.empty()) continue;
    FieldRole r = item.field.role;
    time |= IsTimeRole(r);
    request |= r == FieldRole::kRequest || r == FieldRole::kUri;
    item.quoted = i > 0 && items[i - 1].literal.ends_with('"') && i + 1 < items.size() &&
                  items[i + 1].literal.starts_with('"');
  }
  if (!request) *error = "it has no request field";
  if (!time) *error = "it has no time field";
  return time && request;
}

bool ChooseExtra(LogFormat* format, int which, std::string_view chosen, std::string_view fallback,
                 std::string* error) {
  FieldName wanted;
  std::string_view text = chosen.empty() ? fallback : chosen;
  if (format->kind == FormatKind::kJson) {
    // A JSON key is named as it stands, or as its nginx variable or the
    // Apache directive whose value it holds.
    if (text.starts_with('$')) {
      std::string_view v = text.substr(1);
      if (v.starts_with('{') && v.ends_with('}')) v = v.substr(1, v.size() - 2);
      format->extraKey[which] = std::string(v);
    } else if (text.starts_with('%')) {
      if (ParseFieldName(text, &wanted)) format->extraKey[which] = wanted.name;
    } else {
      format->extraKey[which] = std::string(text);
    }
    if (format->extraKey[which].empty()) {
      *error = "EXTRA" + std::to_string(which + 1) + " names no JSON key: " + std::string(text);
      return false;
    }
    return true;
  }
  if (!ParseFieldName(text, &wanted)) {
    *error = "EXTRA" + std::to_string(which + 1) + " names no field: " + std::string(text);
    return false;
  }
  for (size_t i = 0; i < format->items.size(); ++i) {
    if (format->items[i].literal.empty() && format->items[i].field == wanted) {
      format->extraItem[which] = static_cast<int>(i);
      return true;
    }
  }
  if (chosen.empty()) return true;  // the format has no such field: no extra
  *error = "EXTRA" + std::to_string(which + 1) + " names " + std::string(chosen) +
           ", which the log format does not hold";
  return false;
}

// The name a text format gives the field TIMEFIELD names: as a directive or
// variable, or as a bare name.
FieldName NamedTimeField(std::string_view field) {
  FieldName name;
  if (!ParseFieldName(field, &name)) name.name = Lowercased(field);
  return name;
}

// The field whose value is the time taken: the one TIMEFIELD names, or the
// format's own (the request's time before an upstream's).
bool ChooseTimeTaken(LogFormat* format, std::string_view timeField, std::string* error) {
  TimeTakenSource& source = format->timeTaken;
  TimeFieldChoice choice;
  if (!timeField.empty()) {
    Status read = ParseTimeFieldSetting(timeField, &choice);
    if (!read.ok()) {
      *error = "TIMEFIELD=" + std::string(timeField) + ": " + read.Reason();
      return false;
    }
  }
  if (format->kind == FormatKind::kJson) {
    source.any = true;
    if (timeField.empty()) return true;
    std::string_view key = choice.field;
    if (key.starts_with('$')) {
      key.remove_prefix(1);
      if (key.starts_with('{') && key.ends_with('}')) key = key.substr(1, key.size() - 2);
    }
    source.key = key.starts_with('%') ? NamedTimeField(key).name : std::string(key);
    source.form = choice.form;
    if (!source.key.empty()) return true;
    *error = "TIMEFIELD names no JSON key: " + std::string(timeField);
    return false;
  }
  int chosen = -1;
  int rank = 3;  // of the field chosen: 0 the one named, 1 a request's time, 2 an upstream's
  const FieldName wanted = timeField.empty() ? FieldName{} : NamedTimeField(choice.field);
  for (size_t i = 0; i < format->items.size(); ++i) {
    const FormatItem& item = format->items[i];
    if (!item.literal.empty()) continue;
    int r = 3;
    if (!timeField.empty()) {
      if (item.field == wanted) r = 0;
    } else if (item.field.role == FieldRole::kOther) {
      const std::string& name = item.field.name;
      if (name.starts_with("request_time") && TimeTakenFormOf(name)) r = 1;
      if (name == "upstream_response_time") r = 2;
    }
    if (r < rank) {
      rank = r;
      chosen = static_cast<int>(i);
    }
  }
  if (chosen < 0) {
    if (timeField.empty()) return true;
    *error =
        "TIMEFIELD names " + std::string(choice.field) + ", which the log format does not hold";
    return false;
  }
  FieldName& field = format->items[static_cast<size_t>(chosen)].field;
  source.any = true;
  source.form = timeField.empty() ? TimeTakenFormOf(field.name).value() : choice.form;
  field.role = FieldRole::kTimeTaken;  // the extras are chosen by index already
  return true;
}

}  // namespace

std::span<const NamedField> NamedFields() { return kNamedFields; }

FieldRole NginxVariableRole(std::string_view lowercaseName) {
  for (const NamedField& f : kNamedFields) {
    if (f.name == lowercaseName) return f.nginx;
  }
  return FieldRole::kOther;
}

FieldRole JsonKeyRole(std::string_view key) {
  for (const NamedField& f : kNamedFields) {
    if (f.name == key) return f.json;
  }
  return FieldRole::kOther;
}

bool ParseFieldName(std::string_view text, FieldName* name) {
  if (text.size() >= 2 && text[0] == '%') {
    Directive d = ApacheDirective(text, 1);
    if (!d.error.empty() || d.isPercent || d.length + 1 != text.size()) return false;
    *name = d.field;
    return true;
  }
  if (text.size() >= 2 && text[0] == '$') {
    std::string_view v = text.substr(1);
    if (v.starts_with('{') && v.ends_with('}')) v = v.substr(1, v.size() - 2);
    for (char c : v) {
      if (!IsVariableChar(c)) return false;
    }
    if (v.empty()) return false;
    *name = NginxField(v);
    return true;
  }
  return false;
}

bool CompileLogFormat(std::string_view value, std::string_view extra1, std::string_view extra2,
                      LogFormat* format, std::string* error, std::string_view timeField) {
  *format = LogFormat();
  format->text = std::string(value);
  bool chosen = !extra1.empty() || !extra2.empty() || !timeField.empty();
  std::string_view layout = value;
  if (value.empty() || EqualsFolded(value, "COMBINED")) {
    if (!chosen) return true;
    layout = kCombinedFormat;
  } else if (EqualsFolded(value, "COMMON")) {
    if (!chosen) return true;
    layout = kCommonFormat;
  } else if (EqualsFolded(value, "VHOST_COMBINED")) {
    layout = kVhostCombinedFormat;
  } else if (EqualsFolded(value, "JSON")) {
#ifndef LOGVANE_HAVE_SIMDJSON
    *error = "this build reads no JSON (it was built without libsimdjson-dev)";
    return false;
#endif
    format->kind = FormatKind::kJson;
    if (ChooseExtra(format, 0, extra1, "http_referer", error) &&
        ChooseExtra(format, 1, extra2, "http_user_agent", error) &&
        ChooseTimeTaken(format, timeField, error)) {
      return true;
    }
    *format = LogFormat();
    format->text = std::string(value);
    return false;
  }
  format->kind = FormatKind::kText;
  size_t percent = layout.find('%');
  size_t dollar = layout.find('$');
  bool ok;
  if (percent == std::string_view::npos && dollar == std::string_view::npos) {
    *error = "it holds no %-directive and no $-variable";
    ok = false;
  } else if (percent < dollar) {
    ok = CompileApache(layout, format, error);
  } else {
    ok = CompileNginx(layout, format, error);
  }
  ok = ok && Finish(format, error) && ChooseExtra(format, 0, extra1, "%{Referer}i", error) &&
       ChooseExtra(format, 1, extra2, "%{User-Agent}i", error) &&
       ChooseTimeTaken(format, timeField, error);
  if (ok) {
    // The user agent is classified whichever field the Extra 2 section shows.
    const FieldName agent{FieldRole::kOther, "http_user_agent"};
    for (size_t i = 0; i < format->items.size() && format->agentItem < 0; ++i) {
      if (format->items[i].literal.empty() && format->items[i].field == agent) {
        format->agentItem = static_cast<int>(i);
      }
    }
  }
  if (!ok) {
    *format = LogFormat();
    format->text = std::string(value);
  }
  return ok;
}

}  // namespace logvane
