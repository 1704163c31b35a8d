#include "intake/format_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

using namespace std::string_literals;

// A record in short: "no match", or client|user|date hour|page|directory|
// status|bytes|extra1|extra2, "!" for a field that is absent and the
// page's fault in place of page and directory.
std::string Parsed(const std::string& logFormat, const std::string& line,
                   const LineFormat& options = LineFormat(), const char* extra1 = "",
                   const char* extra2 = "") {
  LogFormat format;
  std::string error;
  if (!CompileLogFormat(logFormat, extra1, extra2, &format, &error)) return error;
  FormatParser parser(format);
  static LogRecord r;
  parser.Parse(line, options, r);
  if (r.bracketFault == LineFault::kNoMatch) return "no match";
  if (!r.selected) return "not selected";
  std::string out;
  auto add = [&](std::string_view part) {
    if (!out.empty() || part.data() != nullptr) out.append(part);
  };
  out.append(r.hasClientAddress ? r.clientAddress : "!");
  out += '|';
  add(r.userName);
  out += '|';
  add(r.dateText.view());
  out += ' ';
  add(r.hourText);
  out += '|';
  if (r.pageFault != LineFault::kNone) {
    out += "fault ";
    out += std::to_string(static_cast<int>(r.pageFault));
  } else {
    add(r.page.view());
    out += '|';
    add(r.directory);
  }
  out += '|';
  out += std::to_string(r.statusCode);
  out += '|';
  out += std::to_string(r.byteCount);
  out += '|';
  out.append(r.hasExtra1 ? r.extra1 : "!");
  out += '|';
  out.append(r.hasExtra2 ? r.extra2 : "!");
  return out;
}

constexpr char kNginxCombined[] =
    R"($remote_addr - $remote_user [$time_local] "$request" $status $body_bytes_sent "$http_referer" "$http_user_agent")";

TEST(FormatParser, TextFormatsFillTheRecord) {
  struct Case {
    std::string format, line, expected;
  } cases[] = {
      {"VHOST_COMBINED",
       "www.example.com:443 203.0.113.7 - bob [7/Oct/2025:13:55:36 +0200] \"GET /Docs/A.HTML?x=1 "
       "HTTP/1.1\" 200 2326 \"http://ref/\" \"Agent \\\"Q\\\" 1\"\n",
       "203.0.113.7|203.0.113.7|07/Oct/2025 13|/docs/a.html|/Docs|200|2326|http://ref/|Agent "
       "\\\"Q\\\" 1"},
      {kNginxCombined,
       "::1 - - [10/Oct/2025:01:02:03 +0000] \"POST /api/v1 HTTP/2.0\" 404 0 \"-\" \"curl\"\r\n",
       "::1|::1|10/Oct/2025 01|/api/v1|/api|404|0|-|curl"},
      // A request of its parts, epoch and ISO times, fields added at the end.
      {R"(%h %{msec}t "%m %U%q %H" %s %b)", "h 971211336000 \"GET /a/b?q HTTP/1.0\" 301 - extra",
       "h|h|10/Oct/2000 20|/a/b|/a|301|0|!|!"},
      {"$remote_addr [$time_iso8601] \"$request_method $request_uri\" $status",
       "h [2025-01-02T23:59:59-05:00] \"GET /x.gif\" 200", "h|h|02/Jan/2025 23|/x.gif|/|200|0|!|!"},
      {"%{%Y-%m-%dT%H:%M:%S%z}t %r", "2025-01-02T03:04:05+0100 GET /",
       "!||02/Jan/2025 03|/|/|0|0|!|!"},
      {"$msec $request_uri $status", "971211336.250 /p 200", "!||10/Oct/2000 20|/p|/p|200|0|!|!"},
      // A request without its URL: the page's fault, as in a combined line.
      {kNginxCombined, "h - - [10/Oct/2025:01:02:03 +0000] \"-\" 400 0 \"-\" \"-\"",
       "h|h|10/Oct/2025 01|fault 6|400|0|-|-"},
      // Damaged lines.
      {kNginxCombined, "h - - [10/Oct/2025:01:02:03 +0000] \"GET / HTTP/1.1\" 200", "no match"},
      {kNginxCombined, "h - - [yesterday] \"GET / HTTP/1.1\" 200 1 \"-\" \"-\"", "no match"},
      {kNginxCombined, "h - - 10/Oct/2025:01:02:03 +0000 \"GET / HTTP/1.1\" 200 1 \"-\" \"-\"",
       "no match"},
      {kNginxCombined, "h - - [10/Oct/2025:01:02:03 +0000] 'GET / HTTP/1.1' 200 1 '-' '-'",
       "no match"},
      {kNginxCombined, "", "no match"},
      {kNginxCombined, "h\0 - - [10/Oct/2025:01:02:03 +0000] \"GET /\0 H\" 200 1 \"\" \"\""s,
       "h\0|h\0|10/Oct/2025 01|/\0|/\0|200|1||"s},
  };
  for (const Case& c : cases) EXPECT_EQ(Parsed(c.format, c.line), c.expected) << c.line;
}

TEST(FormatParser, JsonLinesFillTheRecord) {
  struct Case {
    std::string line, expected;
  } cases[] = {
      {R"({"time_local":"10/Oct/2025:13:55:36 +0200","remote_addr":"203.0.113.7","remote_user":"-","request":"GET /a/b.html HTTP/1.1","status":"200","body_bytes_sent":"512","http_referer":"-","http_user_agent":"Mozilla \"X\" \u00e9"})",
       "203.0.113.7|203.0.113.7|10/Oct/2025 13|/a/b.html|/a|200|512|-|Mozilla \"X\" \xc3\xa9"},
      // Other key names, numbers, nginx's \xHH, the request in parts.
      {R"({"client":"::1","time_iso8601":"2025-10-10T04:00:00+09:00","request_method":"GET","request_uri":"/s?q=\x22a\x22","server_protocol":"HTTP/2.0","status":304,"bytes_sent":77,"referer":"r","user_agent":"u","nested":{"a":[1,2]}})",
       "::1|::1|10/Oct/2025 04|/s|/s?q=\"a\"|304|77|r|u"},
      {R"({"msec":"971211336.123","uri":"/only","status":null})",
       "!||10/Oct/2000 20|/only|/only|0|0|!|!"},
      {R"( { "@timestamp" : 971211336 , "request" : "GET / HTTP/1.0" } )",
       "!||10/Oct/2000 20|/|/|0|0|!|!"},
      // Not a record: no time, no request, cut, not JSON, two objects, empty.
      {R"({"remote_addr":"h","request":"GET / HTTP/1.1"})", "no match"},
      {R"({"time_local":"10/Oct/2025:13:55:36 +0200","status":"200"})", "no match"},
      {R"({"time_local":"10/Oct/2025:13:55:36 +0200","request":"GET / HT)", "no match"},
      {R"({"time_local":"10/Oct/2025:13:55:36 +0200","request":"GET / HTTP/1.1",)", "no match"},
      {"10.0.0.1 - - [10/Oct/2025:13:55:36 +0200] \"GET / HTTP/1.0\" 200 1", "no match"},
      {R"(["time_local","request"])", "no match"},
      {"", "no match"},
  };
  for (const Case& c : cases) EXPECT_EQ(Parsed("JSON", c.line), c.expected) << c.line;
}

TEST(FormatParser, JsonBytesThatAreNotUtf8AreKept) {
  std::string line =
      "{\"time_local\":\"10/Oct/2025:13:55:36 +0200\",\"request\":\"GET /caf\xe9 "
      "HTTP/1.1\",\"http_user_agent\":\"\xff\xfe\"}";
  EXPECT_EQ(Parsed("JSON", line), "!||10/Oct/2025 13|/caf\xe9|/caf\xe9|0|0|!|\xff\xfe");
}

TEST(FormatParser, SettingsAndChosenExtras) {
  const std::string line =
      "v.example:80 h jim bob [10/Oct/2025:13:55:36 +0200] \"GET http://Host.example/a/B "
      "HTTP/1.1\" "
      "200 5 \"r\" \"u\"";
  LineFormat field2;
  field2.userFromField2 = true;
  EXPECT_EQ(Parsed("VHOST_COMBINED", line, field2),
            "h|bob|10/Oct/2025 13|http://host.example/a/b|http:|200|5|r|u");
  LineFormat proxy;
  proxy.proxyMode = true;
  EXPECT_EQ(Parsed("VHOST_COMBINED", line, proxy, "%v", "%p"),
            "h|h|10/Oct/2025 13|http://host.example|http:|200|5|v.example|80");
  LineFormat select;
  select.selectOn = true;
  select.selectText = "/a/b";
  EXPECT_EQ(Parsed("VHOST_COMBINED", line, select),
            "h|h|10/Oct/2025 13|http://host.example/a/b|http:|200|5|r|u");
  select.selectText = "/c";
  EXPECT_EQ(Parsed("VHOST_COMBINED", line, select), "not selected");
  std::string json =
      R"({"time_local":"10/Oct/2025:13:55:36 +0200","request":"GET / H","host":"v","remote_user":"ann"})";
  EXPECT_EQ(Parsed("JSON", json, LineFormat(), "host", "$remote_user"),
            "!||10/Oct/2025 13|/|/|0|0|v|ann");
}

}  // namespace
}  // namespace logvane
