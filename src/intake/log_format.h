// The layout of a log line as a server's configuration states it: an
// Apache LogFormat string (%-directives), an nginx log_format string
// ($-variables), or one of the presets. Compiled once before reading;
// the line parsers follow the compiled items.
#ifndef LOGVANE_INTAKE_LOG_FORMAT_H_
#define LOGVANE_INTAKE_LOG_FORMAT_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "intake/time_taken.h"

namespace logvane {

// What a field of the line means for the record.
enum class FieldRole : uint8_t {
  kOther,      // read past; may still feed an extra section
  kClient,     // %h %a $remote_addr
  kIdent,      // %l
  kAuthUser,   // %u $remote_user
  kTimeLocal,  // %t (without its brackets) $time_local
  kTimeIso,    // $time_iso8601
  kTimeSec,    // %{sec}t, $msec (seconds with a fraction)
  kTimeMsec,   // %{msec}t
  kTimeUsec,   // %{usec}t
  kRequest,    // %r $request
  kMethod,     // %m $request_method
  kUri,        // %U%q $request_uri
  kProtocol,   // %H $server_protocol
  kStatus,     // %>s %s $status
  kBytes,      // %b %B %O $body_bytes_sent $bytes_sent
  kTimeAny,    // %{strftime layout}t: any time form, known by its shape
  // Meanings only JSON keys have: nginx's $uri (the path without its query,
  // taken when no request_uri is given), the body bytes (preferred to all
  // bytes sent), and the referrer and user agent the default extras fall
  // back to.
  kPath,
  kBodyBytes,
  kReferer,
  kUserAgent,
  // The time taken to serve (%D, %T, $request_time, a TIMEFIELD): the one
  // field of a format, or the JSON keys, whose value feeds the response
  // times.
  kTimeTaken,
};

// Whether `role` is a time, and whether it gives the request.
inline bool IsTimeRole(FieldRole r) {
  return r == FieldRole::kTimeLocal || r == FieldRole::kTimeIso || r == FieldRole::kTimeSec ||
         r == FieldRole::kTimeMsec || r == FieldRole::kTimeUsec || r == FieldRole::kTimeAny;
}

// A field's identity, for choosing the extras: the role and, for headers
// and the other named values, a lowercase name ("referer", "user_agent",
// "x_forwarded_for", "vhost", "port", or the variable's own name).
struct FieldName {
  FieldRole role = FieldRole::kOther;
  std::string name;
  bool operator==(const FieldName&) const = default;
};

struct FormatItem {
  std::string literal;  // text that must stand here, or empty for a field
  FieldName field;
  bool quoted = false;  // a field between double quotes: \" does not end it
};

enum class FormatKind { kMarkers, kText, kJson };

// Where a format's lines say how long the server took. A text format has at
// most one such field, its item marked kTimeTaken; a JSON line may carry
// any of the known keys (request_time, response_time, duration and
// upstream_response_time, preferred in that order) or, under TIMEFIELD,
// only the key named.
struct TimeTakenSource {
  bool any = false;  // lines of this format may carry a time taken
  TimeTakenForm form;
  std::string key;  // kJson under TIMEFIELD: the one key read
};

struct LogFormat {
  FormatKind kind = FormatKind::kMarkers;
  std::vector<FormatItem> items;  // kText: literals and fields in line order
  // The fields that feed the extra sections (kText: item index, -1 none;
  // kJson: the key names).
  int extraItem[2] = {-1, -1};
  std::string extraKey[2];
  // kText: the item of the user agent (%{User-Agent}i, $http_user_agent),
  // -1 for none; JSON logs name it by its key.
  int agentItem = -1;
  std::string text;  // the value as given, for messages
  TimeTakenSource timeTaken;
};

// Compiles the LOGFORMAT value and the EXTRA1/EXTRA2 choices (empty: the
// referrer and the user agent). An empty value, COMBINED or COMMON is the
// marker parser, unless an extra is chosen: then the combined (or common)
// layout is compiled so that the choice can be honoured. False, with the
// reason in `error`, when the text cannot be used. `timeField` is the
// TIMEFIELD value (empty: the format's own time-taken field, if any); a
// field it names must be in the format.
bool CompileLogFormat(std::string_view value, std::string_view extra1, std::string_view extra2,
                      LogFormat* format, std::string* error, std::string_view timeField = {});

// The field that an EXTRA1/EXTRA2 value names, in either notation; false
// when it names none.
bool ParseFieldName(std::string_view text, FieldName* name);

// The one vocabulary of named fields: the role of an nginx variable (the
// names of Apache's directives are spelt as nginx spells them) and of a JSON
// key, which shares nginx's names and adds the aliases JSON logs use.
// kOther for a name that fills nothing.
struct NamedField {
  std::string_view name;
  FieldRole nginx;
  FieldRole json;
};
std::span<const NamedField> NamedFields();
FieldRole NginxVariableRole(std::string_view lowercaseName);
FieldRole JsonKeyRole(std::string_view key);

// Apache's vhost_combined layout.
inline constexpr std::string_view kVhostCombinedFormat =
    R"(%v:%p %h %l %u %t "%r" %>s %O "%{Referer}i" "%{User-Agent}i")";
inline constexpr std::string_view kCombinedFormat =
    R"(%h %l %u %t "%r" %>s %b "%{Referer}i" "%{User-Agent}i")";
inline constexpr std::string_view kCommonFormat = R"(%h %l %u %t "%r" %>s %b)";

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LOG_FORMAT_H_
