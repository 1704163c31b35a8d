#include "intake/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

TEST(JsonText, DecodesEscapesUpToTheClosingQuote) {
  struct Case {
    std::string in, out;
    bool closed;
  } cases[] = {
      {"plain\",", "plain", true},
      {R"(a\"b\\c\/d")", "a\"b\\c/d", true},
      {R"(\n\r\t\b\f")", "\n\r\t\b\f", true},
      {R"(\u0041\u00e9\u20ac")", "A\xc3\xa9\xe2\x82\xac", true},
      {R"(\ud83d\ude00")", "\xf0\x9f\x98\x80", true},  // a surrogate pair
      {R"(\ud83dx")", "\xef\xbf\xbdx", true},          // a lone one
      {R"(\x22\x5cq\x0A")", "\"\\q\n", true},          // nginx's default escaping
      {R"(\q\u12\x4")", R"(\q\u12\x4)", true},         // broken escapes kept
      {std::string("nul\0byte\"", 9), std::string("nul\0byte", 8), true},
      {"cut", "cut", false},
      {"ends\\", "ends\\", false},
  };
  for (const Case& c : cases) {
    char out[64];
    DecodedText d = DecodeJsonText(c.in, out, sizeof(out));
    EXPECT_EQ(std::string(out, d.size), c.out) << c.in;
    EXPECT_EQ(d.closed, c.closed) << c.in;
  }
}

TEST(JsonText, StopsWhenTheBufferIsFull) {
  std::string in(5000, 'a');
  in += "\\u00e9\"";
  char out[100];
  DecodedText d = DecodeJsonText(in, out, sizeof(out));
  EXPECT_EQ(d.size, 100u);
  EXPECT_EQ(std::string(out, 100), std::string(100, 'a'));
  d = DecodeJsonText("\\u20ac\\u20ac\"", out, 4);  // a character cut at the end
  EXPECT_EQ(d.size, 4u);
}

}  // namespace
}  // namespace logvane
