#include "intake/log_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace logvane {
namespace {

struct Options {
  bool proxy = false;
  bool fullPages = false;
  bool field2 = false;
};

// The fields of a line as the reading phase would find them, in its order,
// stopping at the first fault.
struct Fields {
  LineFault fault = LineFault::kNone;
  int64_t bytes = 0;
  std::string request;
  bool hasClient = false;
  std::string client;
  std::string user;
  std::string date;
  std::string hour;
  std::string page;
  std::string directory;
  int32_t status = 0;
  bool hasExtra1 = false;
  bool hasExtra2 = false;
  std::string extra1;
  std::string extra2;
};

// Through ParseLogLine; SELECT with an empty text, which every request
// holds, so that the request text is found as well.
Fields Parse(const std::string& line, Options options = {}) {
  LineFormat format;
  format.selectOn = true;
  format.userFromField2 = options.field2;
  format.proxyMode = options.proxy;
  format.fullPageDetails = options.fullPages;
  LogRecord r;
  ParseLogLine(line, format, r);
  Fields f;
  f.fault = r.bracketFault != LineFault::kNone ? r.bracketFault
            : r.hourFault != LineFault::kNone  ? r.hourFault
                                               : r.pageFault;
  f.bytes = r.byteCount;
  f.request = std::string(r.requestText.view());
  f.hasClient = r.hasClientAddress;
  f.client = std::string(r.clientAddress);
  f.user = std::string(r.userName);
  f.date = std::string(r.dateText.view());
  f.hour = std::string(r.hourText);
  f.page = std::string(r.page.view());
  f.directory = std::string(r.directory);
  f.status = r.statusCode;
  f.hasExtra1 = r.hasExtra1;
  f.hasExtra2 = r.hasExtra2;
  f.extra1 = std::string(r.extra1);
  f.extra2 = std::string(r.extra2);
  return f;
}

// A combined-format line around the given request, code, bytes and tail.
std::string LineWith(const std::string& request, const std::string& code = "200",
                     const std::string& bytes = "1234", const std::string& tail = "") {
  return "10.0.0.1 - - [07/Oct/1998:13:55:36 -0700] \"" + request + "\" " + code + " " + bytes +
         tail + "\n";
}

TEST(LogParserTest, RecordsWhereThePageAndTheExtrasEndAndHowFarTheLineGot) {
  const std::string line =
      "10.0.0.1 - - [07/Oct/1998:13:55:36 -0700] \"GET /a/b?q HTTP/1.0\" 200 5 \"r\" \"u\" x\n";
  LogRecord r;
  ParseLogLine(line, LineFormat{}, r);
  EXPECT_EQ(line.substr(r.urlStart, r.urlEnd - r.urlStart), "/a/b");
  EXPECT_EQ(line.substr(r.extrasEnd), " x\n");
  EXPECT_TRUE(r.selected);

  LineFormat select;
  select.selectOn = true;
  select.selectText = "post";
  ParseLogLine(line, select, r);
  EXPECT_FALSE(r.selected);
  EXPECT_FALSE(r.hasClientAddress);  // nothing after the request is sought
  EXPECT_EQ(r.byteCount, 5);
  ParseLogLine("no bracket\n", LineFormat{}, r);
  EXPECT_EQ(r.bracketFault, LineFault::kNoBracket);
}

TEST(LogParserTest, FindsEveryFieldOfACombinedLine) {
  Fields f = Parse(
      "192.0.2.7 - - [5/Dec/2026:06:08:28 +0100] \"GET /Docs/Index.HTML?x=1 HTTP/1.1\" 200 "
      "44718 \"http://ref.example/\" \"Mozilla/5.0 (X11)\"\r\n");
  EXPECT_EQ(f.fault, LineFault::kNone);
  EXPECT_EQ(f.bytes, 44718);
  EXPECT_EQ(f.request, "get /docs/index.html?x=1 http/1.1");
  EXPECT_EQ(f.client, "192.0.2.7");
  EXPECT_EQ(f.user, "192.0.2.7");
  EXPECT_EQ(f.date, "05/Dec/2026");
  EXPECT_EQ(f.hour, "06");
  EXPECT_EQ(f.page, "/docs/index.html");
  EXPECT_EQ(f.directory, "/Docs");
  EXPECT_EQ(f.status, 200);
  EXPECT_EQ(f.extra1, "http://ref.example/");
  EXPECT_EQ(f.extra2, "Mozilla/5.0 (X11)");
}

TEST(LogParserTest, BracketAndDayWidth) {
  const std::string pad249(249, 'p');
  struct Case {
    const char* name;
    std::string line;
    LineFault fault;
    std::string date;
  };
  const Case cases[] = {
      {"two-digit day", "h [07/Oct/1998:13:55:36]", LineFault::kNone, "07/Oct/1998"},
      {"one-digit day padded", "h [7/Oct/1998:13:55:36]", LineFault::kNone, "07/Oct/1998"},
      {"month first is bad format", "h [Oct/07/1998:13:55:36]\n", LineFault::kBadFormat, ""},
      {"bracket at the end is bad format", "h [", LineFault::kBadFormat, ""},
      {"no bracket", "h - - 07/Oct/1998:13:55:36 \"GET / H\"\n", LineFault::kNoBracket, ""},
      {"empty line", "\n", LineFault::kNoBracket, ""},
      {"bracket at position 250", pad249 + "[07/Oct/1998:13:5", LineFault::kNone, "07/Oct/1998"},
      {"bracket at position 251", pad249 + "x[07/Oct/1998:13:55:36", LineFault::kNoBracket, ""},
      {"date cut by the line end", "h [7/Oc", LineFault::kNone, "07/Oc"},
      {"short line keeps its line end", "h [07/Oct\n", LineFault::kNone, "07/Oct\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogRecord r;
    BeginRecord(r, c.line);
    EXPECT_EQ(FindBracket(r), c.fault);
    if (c.fault != LineFault::kNone) continue;
    FindDate(r);
    EXPECT_EQ(r.dateText.view(), c.date);
  }
}

TEST(LogParserTest, ByteCountAfterTheRequest) {
  struct Case {
    const char* name;
    std::string line;
    int64_t bytes;
  };
  const Case cases[] = {
      {"plain", LineWith("GET / HTTP/1.0", "200", "2326"), 2326},
      {"dash gives 0", LineWith("GET / HTTP/1.0", "304", "-"), 0},
      {"beyond 32 bits", LineWith("GET /iso HTTP/1.0", "200", "5000000000"), 5000000000},
      {"too large saturates", LineWith("GET / HTTP/1.0", "200", "99999999999999999999999"),
       INT64_MAX / 10 - 10},
      {"tab before the number", LineWith("GET / HTTP/1.0", "200", "\t77"), 77},
      {"no byte field", "h [07/Oct/1998:13:55:36] \"GET / H\" 200\n", 0},
      {"no closing quote", "h [07/Oct/1998:13:55:36] \"GET / H 200 5\n", 0},
      {"no closing bracket", "h [07/Oct/1998:13:55:36 \"GET / H\" 200 5\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields f = Parse(c.line);
    if (c.bytes == INT64_MAX / 10 - 10) {
      EXPECT_GE(f.bytes, INT64_MAX / 10 - 10);  // large and positive, never wrapped
    } else {
      EXPECT_EQ(f.bytes, c.bytes);
    }
  }
}

TEST(LogParserTest, RequestTextIsLowercasedAndCut) {
  EXPECT_EQ(Parse(LineWith("GET /A?B=C HTTP/1.0")).request, "get /a?b=c http/1.0");
  std::string longRequest = "GET /" + std::string(150, 'Q');
  EXPECT_EQ(Parse(LineWith(longRequest)).request, "get /" + std::string(94, 'q'));
  EXPECT_EQ(Parse("h [07/Oct/1998:13:55:36 \"GET / H\" 200 5\n").request, "");
}

TEST(LogParserTest, ClientAddress) {
  struct Case {
    const char* name;
    std::string line;
    bool hasClient;
    std::string client;
  };
  const Case cases[] = {
      {"before the first blank", LineWith("GET / H"), true, "10.0.0.1"},
      {"cut to 100", std::string(120, 'c') + " - - [07/Oct/1998:13:55:36]", true,
       std::string(100, 'c')},
      {"blank at position 250", std::string(249, 'c') + " x", true, std::string(100, 'c')},
      {"no blank within 250", std::string(250, 'c') + " x", false, ""},
      {"empty address", " - - [07/Oct/1998:13:55:36]", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogRecord r;
    BeginRecord(r, c.line);
    EXPECT_EQ(FindClientAddress(r), c.hasClient);
    EXPECT_EQ(r.clientAddress, c.client);
  }
}

TEST(LogParserTest, UserFromTheIdentOrAuthuserField) {
  const std::string rest = " [07/Oct/1998:13:55:36 +0100] \"GET / H\" 200 1\n";
  struct Case {
    const char* name;
    std::string line;
    bool field2;
    std::string user;
  };
  const Case cases[] = {
      {"off: the client", "host - bob" + rest, false, "host"},
      {"both dashes: the client", "host - -" + rest, true, "host"},
      {"authuser", "host - bob" + rest, true, "bob"},
      {"authuser keeps its case", "host - Bob.Smith" + rest, true, "Bob.Smith"},
      {"ident", "host jim -" + rest, true, "jim"},
      {"one-letter names do not count", "host - b" + rest, true, "host"},
      {"one-letter ident does not count", "host j -" + rest, true, "host"},
      // The first "-" is searched over the whole line: a client with a
      // hyphen starts candidate A inside the client field.
      {"hyphen in the client", "my-host - -" + rest, true, "ost - -"},
      {"no dash at all", "host jim bob" + rest, true, "host"},
      // Candidate B ends two before the first "-" after the ident field,
      // wherever that lies, here in the zone.
      {"dash in the zone", "host jim bob [07/Oct/1998:13:55:36 -0700]\n", true,
       "jim bob [07/Oct/1998:13:55:36"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Parse(c.line, {.field2 = c.field2}).user, c.user);
  }
}

TEST(LogParserTest, HourIsTakenAfterTheDatesBracket) {
  struct Case {
    const char* name;
    std::string line;
    LineFault fault;
    std::string hour;
  };
  const Case cases[] = {
      {"ipv4", LineWith("GET / H"), LineFault::kNone, "13"},
      {"ipv6 client", "2001:db8::1 - - [07/Oct/1998:09:55:36 -0700] \"GET / H\" 200 1\n",
       LineFault::kNone, "09"},
      {"colon in authuser", "h - a:b [07/Oct/1998:21:55:36] \"GET / H\" 200 1\n", LineFault::kNone,
       "21"},
      {"no colon", "h - - [07/Oct/1998 13.55] \"GET / H\"\n", LineFault::kNoHour, ""},
      {"colon beyond 250", "h - - [07/Oct/1998 " + std::string(240, ' ') + ":13:55\n",
       LineFault::kNoHour, ""},
      {"colon at 250", "h - - [07/Oct/1998 " + std::string(230, ' ') + ":13:55\n", LineFault::kNone,
       "13"},
      {"one character left", "h [07/Oct/1998:1", LineFault::kNone, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields f = Parse(c.line);
    if (f.fault == LineFault::kNoPage) f.fault = LineFault::kNone;
    EXPECT_EQ(f.fault, c.fault);
    EXPECT_EQ(f.hour, c.hour);
  }
}

TEST(LogParserTest, PagesAndDirectories) {
  struct Case {
    const char* name;
    std::string request;
    Options options;
    std::string page;
    std::string directory;
  };
  const Case cases[] = {
      {"query cut", "GET /cgi-bin/find?x=1 HTTP/1.0", {}, "/cgi-bin/find", "/cgi-bin"},
      {"full pages keep the query",
       "GET /cgi-bin/find?x=1 HTTP/1.0",
       {.fullPages = true},
       "/cgi-bin/find?x=1",
       "/cgi-bin"},
      {"lowercased page, directory as is",
       "GET /Docs/Index.HTML HTTP/1.0",
       {},
       "/docs/index.html",
       "/Docs"},
      {"file at the top", "GET /index.html HTTP/1.0", {}, "/index.html", "/"},
      {"root", "GET / HTTP/1.0", {}, "/", "/"},
      {"directory without slash", "GET /news HTTP/1.0", {}, "/news", "/news"},
      {"query stays in the directory", "GET /search?q=1 HTTP/1.0", {}, "/search", "/search?q=1"},
      {"no protocol", "GET /a/b", {}, "/a/b", "/a"},
      {"empty url", "GET  HTTP/1.0", {}, "", ""},
      {"a question mark before the url is passed over", "G?T /a?b HTTP/1.0", {}, "/a?b", "/a?b"},
      {"page cut to 99",
       "GET /" + std::string(120, 'P') + " HTTP/1.0",
       {},
       "/" + std::string(98, 'p'),
       "/" + std::string(49, 'P')},
      {"dot beyond the directory's width",
       "GET /" + std::string(60, 'd') + ".x HTTP/1.0",
       {},
       "/" + std::string(60, 'd') + ".x",
       "/" + std::string(49, 'd')},
      {"proxy: scheme and host",
       "GET http://Www.Example.COM/a/b.html HTTP/1.0",
       {.proxy = true},
       "http://www.example.com",
       "http:"},
      {"proxy: no path ends at the next slash",
       "GET http://host.example HTTP/1.0",
       {.proxy = true},
       "http://host.example http",
       "http:"},
      {"proxy: no slash at all", "GET host.example:443", {.proxy = true}, "host.example:443", "/"},
      {"proxy ignores full pages and queries",
       "GET http://h.example/x?y HTTP/1.0",
       {.proxy = true, .fullPages = true},
       "http://h.example",
       "http:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields f = Parse(LineWith(c.request), c.options);
    ASSERT_EQ(f.fault, LineFault::kNone);
    EXPECT_EQ(f.page, c.page);
    EXPECT_EQ(f.directory, c.directory);
  }
}

TEST(LogParserTest, PageFaults) {
  const std::string head = "h - - [07/Oct/1998:13:55:36 -0700] ";
  struct Case {
    const char* name;
    std::string line;
    Options options;
    LineFault fault;
  };
  const Case cases[] = {
      {"no quote", head + "GET / HTTP/1.0 200 5\n", {}, LineFault::kNoPage},
      {"quote beyond 250",
       head + std::string(250, 'x') + "\"GET / H\"\n",
       {},
       LineFault::kPageTooFar},
      {"blank at 250", head + std::string(210, 'x') + "\"GET / H\"\n", {}, LineFault::kNone},
      {"quote at 250, blank beyond",
       head + std::string(214, 'x') + "\"GET / H\"\n",
       {},
       LineFault::kBadPageD},
      {"no blank after the quote", head + "\"GET\n", {}, LineFault::kBadPageA},
      {"no closing quote", head + "\"GET / HTTP/1.0 200 5\n", {}, LineFault::kBadPageB},
      {"proxy without closing quote",
       head + "\"GET http://h/ HTTP/1.0\n",
       {.proxy = true},
       LineFault::kBadPageD},
      {"blank beyond 250",
       head + "\"" + std::string(220, 'G') + " /x\"\n",
       {},
       LineFault::kBadPageD},
      {"blank beyond 250, no closing quote",
       head + "\"" + std::string(220, 'G') + " /x\n",
       {},
       LineFault::kBadPageB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Parse(c.line, c.options).fault, c.fault);
  }
}

TEST(LogParserTest, StatusCode) {
  struct Case {
    const char* name;
    std::string line;
    int32_t status;
  };
  std::string nearEnd = "h [07/Oct/1998:13:55:36] \"GET /" + std::string(1963, 'a') + "\" 201";
  const Case cases[] = {
      {"plain", LineWith("GET / H", "404"), 404},
      {"dash", LineWith("GET / H", "-"), 0},
      {"missing", "h [07/Oct/1998:13:55:36] \"GET / H\"", 0},
      {"quote at offset 10", "a [1/b:\" /\" 404 1\n", 0},
      {"quote at offset 11", "a [1/b:\" /x\" 404 1\n", 404},
      {"quote at offset 1994", nearEnd.substr(0, 1997), 2},
      {"quote at offset 1995",
       "h [07/Oct/1998:13:55:36] \"GET /" + std::string(1964, 'a') + "\" 201", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields f = Parse(c.line);
    ASSERT_EQ(f.fault, LineFault::kNone);
    EXPECT_EQ(f.status, c.status);
  }
}

TEST(LogParserTest, ExtraFields) {
  struct Case {
    const char* name;
    std::string code;
    std::string tail;
    bool hasExtra1;
    std::string extra1;
    bool hasExtra2;
    std::string extra2;
  };
  const Case cases[] = {
      {"both", "200", " \"http://Ref/\" \"Agent 1.0\"", true, "http://Ref/", true, "Agent 1.0"},
      {"empty first", "200", " \"\" \"x\"", true, "", true, "x"},
      {"only one", "200", " \"-\"", true, "-", false, ""},
      {"unclosed second", "200", " \"a\" \"b", true, "a", false, ""},
      {"none", "200", "", false, "", false, ""},
      {"dash status reads none", "-", " \"a\" \"b\"", false, "", false, ""},
      {"cut to 99", "200", " \"" + std::string(130, 'e') + "\" \"f\"", true, std::string(99, 'e'),
       true, "f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields f = Parse(LineWith("GET / H", c.code, "12", c.tail));
    EXPECT_EQ(f.hasExtra1, c.hasExtra1);
    EXPECT_EQ(f.extra1, c.extra1);
    EXPECT_EQ(f.hasExtra2, c.hasExtra2);
    EXPECT_EQ(f.extra2, c.extra2);
  }
  // Without a byte field there is no blank to start the extras from.
  Fields f = Parse("h [07/Oct/1998:13:55:36] \"GET / H\" 200\n");
  EXPECT_FALSE(f.hasExtra1);
}

TEST(LogParserTest, NulByteIsAnOrdinaryCharacter) {
  std::string line = LineWith(std::string("GET /a\0B HTTP/1.0", 17), "404", "9", " \"r\" \"u\"");
  Fields f = Parse(line);
  ASSERT_EQ(f.fault, LineFault::kNone);
  EXPECT_EQ(f.page, std::string("/a\0b", 4));
  EXPECT_EQ(f.status, 404);
  EXPECT_EQ(f.bytes, 9);
  EXPECT_EQ(f.extra2, "u");
}

// Lines of marker characters in every order: no finder reads outside its
// line (the sanitizer build watches), and every field is a part of the line
// within its width.
TEST(LogParserTest, ArbitraryLinesStayInsideTheirBytes) {
  std::mt19937 random(5);
  std::string alphabet = "[]\" :-/?.xA0123\t\r";
  alphabet.push_back('\0');
  auto inside = [](std::string_view field, const char* begin, size_t size) {
    return field.empty() || (field.data() >= begin && field.data() + field.size() <= begin + size);
  };
  for (int i = 0; i < 20000; ++i) {
    // Half are well-formed lines with a few bytes changed, cut anywhere.
    std::string text;
    if (random() % 2 == 0) {
      text = LineWith("GET /a/b.html?x HTTP/1.0", "404", "77", " \"ref\" \"agent\"");
      for (int k = 0; k < 4; ++k)
        text[random() % text.size()] = alphabet[random() % alphabet.size()];
      text.resize(random() % (text.size() + 1));
    } else {
      text.resize(random() % 320);
      for (char& c : text) c = alphabet[random() % alphabet.size()];
    }
    size_t size = text.size();
    // A heap block of exactly the line's size, so any over-read is caught.
    std::unique_ptr<char[]> bytes(new char[size == 0 ? 1 : size]);
    std::memcpy(bytes.get(), text.data(), size);
    std::string_view line(bytes.get(), size);
    Options options{
        .proxy = random() % 2 == 0, .fullPages = random() % 2 == 0, .field2 = random() % 2 == 0};
    LogRecord r;
    BeginRecord(r, line);
    if (FindBracket(r) != LineFault::kNone) continue;
    FindByteCount(r);
    FindRequestText(r);
    ASSERT_LE(r.requestText.size, kRequestTextWidth);
    if (FindClientAddress(r)) {
      FindUserName(r, options.field2);
      ASSERT_TRUE(inside(r.clientAddress, bytes.get(), size));
      ASSERT_TRUE(inside(r.userName, bytes.get(), size));
      ASSERT_LE(r.userName.size(), kUserNameWidth);
    }
    FindDate(r);
    ASSERT_LE(r.dateText.size, kDateTextWidth);
    if (FindHour(r) != LineFault::kNone) continue;
    ASSERT_TRUE(inside(r.hourText, bytes.get(), size));
    if (FindPage(r, options.proxy, options.fullPages) != LineFault::kNone) continue;
    ASSERT_LE(r.page.size, kPageWidth);
    FindDirectory(r);
    ASSERT_LE(r.directory.size(), kDirectoryWidth);
    ASSERT_TRUE(r.directory == "/" || inside(r.directory, bytes.get(), size));
    FindStatusCode(r);
    if (r.statusCode == 0) continue;
    FindExtras(r);
    ASSERT_TRUE(inside(r.extra1, bytes.get(), size));
    ASSERT_TRUE(inside(r.extra2, bytes.get(), size));
    ASSERT_LE(r.extra1.size(), kExtraWidth);
    ASSERT_LE(r.extra2.size(), kExtraWidth);
  }
}

}  // namespace
}  // namespace logvane
