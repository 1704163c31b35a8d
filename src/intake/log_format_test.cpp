#include "intake/log_format.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

// The compiled items in short: literals in brackets, fields by role number
// or name, a "q" after a quoted field; extras as item indexes.
std::string Shape(const LogFormat& f) {
  std::string out;
  for (const FormatItem& item : f.items) {
    if (!item.literal.empty()) {
      out += "[" + item.literal + "]";
    } else {
      out += item.field.name.empty() ? std::to_string(static_cast<int>(item.field.role))
                                     : item.field.name;
      if (item.quoted) out += "q";
    }
  }
  return out;
}

TEST(LogFormat, CompilesDirectivesAndVariables) {
  struct Case {
    const char* value;
    const char* shape;
    int extra1, extra2;
  } cases[] = {
      // Roles: 1 client, 2 ident, 3 authuser, 4 time_local, 5 iso, 6 sec,
      // 7 msec, 8 usec, 9 request, 10 method, 11 uri, 12 protocol,
      // 13 status, 14 bytes, 15 a time of a strftime layout.
      {"VHOST_COMBINED",
       "server_name[:]server_port[ ]1[ ]2[ ]3[ []4[] \"]9q[\" ]13[ ]14[ \"]http_refererq[\" \"]"
       "http_user_agentq[\"]",
       18, 20},
      {R"(%h %l %u %t \"%r\" %>s %b)", "1[ ]2[ ]3[ []4[] \"]9q[\" ]13[ ]14", -1, -1},
      {R"(%a [%{msec}t] "%m %U%q %H" %s %B %D %T %{X-Forwarded-For}i %400,501{Referer}i %% %Z)",
       "1[ []7[] \"]10[ ]11[ ]12[\" ]13[ ]14[ ]request_time_us[ ]request_time[ ]"
       "http_x_forwarded_for[ ]http_referer[ % ]apache_Z",
       20, -1},
      {"%{sec}t %{usec}t %{end:msec}t %{%d/%b}t %{msec_frac}t %r",
       "6[ ]8[ ]7[ ]15[ ]time_msec_frac[ ]9", -1, -1},
      {R"($remote_addr - $remote_user [$time_local] "$request" $status $body_bytes_sent "$http_referer" "$http_user_agent")",
       "1[ - ]3[ []4[] \"]9q[\" ]13[ ]14[ \"]http_refererq[\" \"]http_user_agentq[\"]", 12, 14},
      {"'$remote_addr ${time_iso8601} ' '$msec \"$request_method $request_uri $server_protocol\" "
       "$bytes_sent$'",
       "1[ ]5[ ]6[ \"]10[ ]11[ ]12[\" ]14[$]", -1, -1},
      {"$host $request_uri $time_local", "host[ ]11[ ]4", -1, -1},
  };
  for (const Case& c : cases) {
    LogFormat f;
    std::string error;
    ASSERT_TRUE(CompileLogFormat(c.value, "", "", &f, &error)) << c.value << ": " << error;
    EXPECT_EQ(f.kind, FormatKind::kText);
    EXPECT_EQ(Shape(f), c.shape) << c.value;
    EXPECT_EQ(f.extraItem[0], c.extra1) << c.value;
    EXPECT_EQ(f.extraItem[1], c.extra2) << c.value;
  }
}

TEST(LogFormat, PresetsAndTheMarkerParser) {
  LogFormat f;
  std::string error;
  for (const char* markers : {"", "COMBINED", "common", "Combined"}) {
    ASSERT_TRUE(CompileLogFormat(markers, "", "", &f, &error));
    EXPECT_EQ(f.kind, FormatKind::kMarkers) << markers;
  }
  ASSERT_TRUE(CompileLogFormat("json", "", "", &f, &error));
  EXPECT_EQ(f.kind, FormatKind::kJson);
  EXPECT_EQ(f.extraKey[0], "http_referer");
  EXPECT_EQ(f.extraKey[1], "http_user_agent");
  ASSERT_TRUE(CompileLogFormat("JSON", "$host", "upstream_addr", &f, &error));
  EXPECT_EQ(f.extraKey[0], "host");
  EXPECT_EQ(f.extraKey[1], "upstream_addr");
  ASSERT_TRUE(CompileLogFormat("JSON", "%{Referer}i", "", &f, &error));
  EXPECT_EQ(f.extraKey[0], "http_referer");
  // A chosen extra makes the combined layout a compiled one.
  ASSERT_TRUE(CompileLogFormat("", "%{User-Agent}i", "%h", &f, &error));
  EXPECT_EQ(f.kind, FormatKind::kText);
  EXPECT_EQ(f.extraItem[0], 16);  // %h %l %u %t: seven items before "%r"
  EXPECT_EQ(f.extraItem[1], 0);
}

TEST(LogFormat, ExtrasByEitherNotation) {
  LogFormat f;
  std::string error;
  struct Case {
    const char* extra;
    int item;
  } cases[] = {{"%v", 0},
               {"$server_name", 0},
               {"%p", 2},
               {"$remote_addr", 4},
               {"%a", 4},
               {"$http_user_agent", 20},
               {"%{user-agent}i", 20},
               {"%>s", 14}};
  for (const Case& c : cases) {
    ASSERT_TRUE(CompileLogFormat("VHOST_COMBINED", c.extra, "", &f, &error)) << c.extra << error;
    EXPECT_EQ(f.extraItem[0], c.item) << c.extra;
  }
}

TEST(LogFormat, RefusesWhatCannotBeRead) {
  struct Case {
    const char* value;
    const char* extra1;
    const char* reason;
  } cases[] = {
      {"%h %l", "", "it has no time field"},
      {"%h %t", "", "it has no request field"},
      {"%h%u %t %r", "", "two fields with nothing between them before %u"},
      {"%h %{Referer %t %r", "", "a %{ without its }"},
      {"%t %r %", "", "a % at the end"},
      {"${remote_addr %t", "", "a ${ without its }"},
      {"plain text", "", "it holds no %-directive and no $-variable"},
      {"VHOST_COMBINED", "%{X-Real-IP}i",
       "EXTRA1 names %{X-Real-IP}i, which the log format does not hold"},
      {"COMMON", "%{Referer}i", "EXTRA1 names %{Referer}i, which the log format does not hold"},
      {"VHOST_COMBINED", "referer", "EXTRA1 names no field: referer"},
      {"JSON", "%%", "EXTRA1 names no JSON key: %%"},
  };
  for (const Case& c : cases) {
    LogFormat f;
    std::string error;
    EXPECT_FALSE(CompileLogFormat(c.value, c.extra1, "", &f, &error)) << c.value;
    EXPECT_EQ(error, c.reason) << c.value;
    EXPECT_EQ(f.kind, FormatKind::kMarkers);
  }
}

TEST(LogFormat, TheTimeTakenFieldAndItsUnit) {
  using enum TimeUnit;
  struct Case {
    const char* value;
    const char* timeField;
    int item;  // marked kTimeTaken; -1 for none
    TimeTakenForm form;
  } cases[] = {
      {"%h %t \"%r\" %D", "", 6, {kMicroseconds, false}},
      {"%h %t \"%r\" %T", "", 6, {kSeconds, false}},
      {"%h %t \"%r\" %{ms}T", "", 6, {kMilliseconds, false}},
      {"%h %t \"%r\" %{us}T", "", 6, {kMicroseconds, false}},
      {"%h %t \"%r\" %{s}T", "", 6, {kSeconds, false}},
      {"$remote_addr [$time_local] \"$request\" $request_time", "", 6, {kSeconds, false}},
      {"$remote_addr [$time_local] \"$request\" $upstream_response_time", "", 6, {kSeconds, true}},
      // The request's time before an upstream's, wherever it stands.
      {"$remote_addr [$time_local] \"$request\" $upstream_response_time $request_time",
       "",
       8,
       {kSeconds, false}},
      {"$remote_addr [$time_local] \"$request\" $upstream_response_time $request_time",
       "$upstream_response_time",
       6,
       {kSeconds, true}},
      {"$remote_addr [$time_local] \"$request\" $upstream_connect_time", "", -1, {}},
      {"$remote_addr [$time_local] \"$request\" $upstream_connect_time",
       "$upstream_connect_time",
       6,
       {kSeconds, true}},
      {"%h %t \"%r\" %{X-Took}i", "%{X-Took}i:ms", 6, {kMilliseconds, false}},
      {"%h %t \"%r\" %{X-Took}i", "http_x_took:ns", 6, {kNanoseconds, false}},
      {"%h %t \"%r\" %b", "", -1, {}},
  };
  for (const Case& c : cases) {
    LogFormat f;
    std::string error;
    ASSERT_TRUE(CompileLogFormat(c.value, "", "", &f, &error, c.timeField)) << c.value << error;
    int item = -1;
    for (size_t i = 0; i < f.items.size(); ++i) {
      if (f.items[i].field.role == FieldRole::kTimeTaken) item = static_cast<int>(i);
    }
    EXPECT_EQ(item, c.item) << c.value;
    EXPECT_EQ(f.timeTaken.any, c.item >= 0) << c.value;
    if (c.item >= 0) {
      EXPECT_EQ(f.timeTaken.form, c.form) << c.value;
    }
  }
  // JSON lines may carry a time under any known key, or TIMEFIELD's alone.
  LogFormat json;
  std::string error;
  ASSERT_TRUE(CompileLogFormat("JSON", "", "", &json, &error));
  EXPECT_TRUE(json.timeTaken.any);
  EXPECT_EQ(json.timeTaken.key, "");
  ASSERT_TRUE(CompileLogFormat("JSON", "", "", &json, &error, "${took}:ms"));
  EXPECT_EQ(json.timeTaken.key, "took");
  EXPECT_EQ(json.timeTaken.form, (TimeTakenForm{kMilliseconds, false}));
  // A field the format lacks, or a unit that is none, cannot be used.
  EXPECT_FALSE(CompileLogFormat("", "", "", &json, &error, "%D"));
  EXPECT_EQ(error, "TIMEFIELD names %D, which the log format does not hold");
  EXPECT_FALSE(CompileLogFormat("%h %t \"%r\" %D", "", "", &json, &error, "%D:minutes"));
  EXPECT_EQ(error, "TIMEFIELD=%D:minutes: the unit 'minutes' is none of s, ms, us and ns");
  EXPECT_EQ(json.kind, FormatKind::kMarkers);
}

}  // namespace
}  // namespace logvane
