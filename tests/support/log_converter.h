// Rewrites a combined log in the other layouts that Logvane reads, line by
// line, so that one source log can be read in every format and the reports
// compared: vhost_combined, an Apache format string with split request
// directives, an nginx format string with ISO 8601 times, and nginx-style
// JSON lines. Each layout comes with the LOGFORMAT value that reads it.
// Lines that are not plain combined lines are copied unchanged.
#ifndef LOGVANE_TESTS_SUPPORT_LOG_CONVERTER_H_
#define LOGVANE_TESTS_SUPPORT_LOG_CONVERTER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace logvane::bench {

enum class Layout { kCombined, kVhostCombined, kApacheString, kNginxString, kJson };

struct LayoutInfo {
  Layout layout;
  std::string_view name;
  std::string_view logFormat;  // the LOGFORMAT value
};

inline constexpr LayoutInfo kLayouts[] = {
    {Layout::kCombined, "combined", ""},
    {Layout::kVhostCombined, "vhost_combined", "VHOST_COMBINED"},
    {Layout::kApacheString, "apache",
     R"(%a %l %u %t \"%m %U%q %H\" %>s %B \"%{Referer}i\" \"%{User-Agent}i\" %D)"},
    {Layout::kNginxString, "nginx",
     R"($remote_addr - $remote_user [$time_iso8601] "$request" $status $body_bytes_sent "$http_referer" "$http_user_agent" rt=$request_time)"},
    {Layout::kJson, "json", "JSON"},
};

namespace converter_detail {

struct Combined {
  std::string_view client, ident, user, time, request, status, bytes, referer, agent;
};

inline bool Take(std::string_view& rest, std::string_view until, std::string_view* out) {
  size_t at = rest.find(until);
  if (at == std::string_view::npos) return false;
  *out = rest.substr(0, at);
  rest.remove_prefix(at + until.size());
  return true;
}

inline bool Split(std::string_view line, Combined* c) {
  std::string_view rest = line;
  if (!Take(rest, " ", &c->client) || !Take(rest, " ", &c->ident) || !Take(rest, " [", &c->user) ||
      !Take(rest, "] \"", &c->time) || !Take(rest, "\" ", &c->request) ||
      !Take(rest, " ", &c->status) || !Take(rest, " \"", &c->bytes) ||
      !Take(rest, "\" \"", &c->referer) || !rest.ends_with('"')) {
    return false;
  }
  c->agent = rest.substr(0, rest.size() - 1);
  return c->agent.find('"') == std::string_view::npos &&
         c->request.find('"') == std::string_view::npos;
}

inline void AppendJsonText(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  out += '"';
}

// "10/Oct/2000:13:55:36 +0100" as "2000-10-10T13:55:36+01:00".
inline std::string IsoTime(std::string_view t) {
  static const std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  size_t month = kMonths.find(t.substr(3, 3)) / 3 + 1;
  std::string out(t.substr(7, 4));
  out += '-';
  out += static_cast<char>('0' + month / 10);
  out += static_cast<char>('0' + month % 10);
  out += '-';
  out += t.substr(0, 2);
  out += 'T';
  out += t.substr(12, 8);
  out += t.substr(21, 3);
  out += ':';
  out += t.substr(24, 2);
  return out;
}

inline uint64_t Hash(std::string_view text) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return h;
}

}  // namespace converter_detail

// Appends `line` (without its line end) in `layout`, and a line end.
inline void ConvertLine(std::string_view line, Layout layout, std::string& out) {
  using namespace converter_detail;
  Combined c;
  if (layout == Layout::kCombined || !Split(line, &c)) {
    out += line;
    out += '\n';
    return;
  }
  uint64_t h = Hash(c.request);
  switch (layout) {
    case Layout::kCombined: break;
    case Layout::kVhostCombined:
      out += h % 3 == 0 ? "shop.example.com:443 " : "www.example.com:80 ";
      out += line;
      break;
    case Layout::kApacheString: {
      // %m %U%q %H needs a request of three words; %B writes 0 for no body.
      out += c.client;
      out += ' ';
      out += c.ident;
      out += ' ';
      out += c.user;
      out += " [";
      out += c.time;
      out += "] \"";
      out += c.request;
      out += "\" ";
      out += c.status;
      out += ' ';
      out += c.bytes == "-" ? "0" : c.bytes;
      out += " \"";
      out += c.referer;
      out += "\" \"";
      out += c.agent;
      out += "\" ";
      out += std::to_string(h % 100000);
      break;
    }
    case Layout::kNginxString:
      out += c.client;
      out += " - ";
      out += c.user;
      out += " [";
      out += IsoTime(c.time);
      out += "] \"";
      out += c.request;
      out += "\" ";
      out += c.status;
      out += ' ';
      out += c.bytes == "-" ? "0" : c.bytes;
      out += " \"";
      out += c.referer;
      out += "\" \"";
      out += c.agent;
      // nginx writes $request_time in seconds with milliseconds: 0.057.
      out += "\" rt=0.";
      out += static_cast<char>('0' + h % 1000 / 100);
      out += static_cast<char>('0' + h % 100 / 10);
      out += static_cast<char>('0' + h % 10);
      break;
    case Layout::kJson:
      out += "{\"time_local\":";
      AppendJsonText(out, c.time);
      out += ",\"remote_addr\":";
      AppendJsonText(out, c.client);
      out += ",\"remote_user\":";
      AppendJsonText(out, c.user);
      out += ",\"request\":";
      AppendJsonText(out, c.request);
      out += ",\"status\":";
      out += c.status;
      out += ",\"body_bytes_sent\":";
      AppendJsonText(out, c.bytes == "-" ? "0" : c.bytes);
      out += ",\"request_time\":0.";
      out += static_cast<char>('0' + h % 1000 / 100);
      out += static_cast<char>('0' + h % 100 / 10);
      out += static_cast<char>('0' + h % 10);
      out += ",\"http_referer\":";
      AppendJsonText(out, c.referer);
      out += ",\"http_user_agent\":";
      AppendJsonText(out, c.agent);
      out += '}';
      break;
  }
  out += '\n';
}

inline std::string ConvertLog(std::string_view log, Layout layout) {
  std::string out;
  out.reserve(log.size() + log.size() / 4);
  while (!log.empty()) {
    size_t end = log.find('\n');
    std::string_view line = log.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ConvertLine(line, layout, out);
    if (end == std::string_view::npos) break;
    log.remove_prefix(end + 1);
  }
  return out;
}

}  // namespace logvane::bench

#endif  // LOGVANE_TESTS_SUPPORT_LOG_CONVERTER_H_
