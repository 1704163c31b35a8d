#include "agents/strict_json.h"

#include <gtest/gtest.h>

#include <string>

namespace logvane {
namespace {

TEST(StrictJson, ReadsEveryKindOfValue) {
  JsonValue v;
  size_t offset = 0;
  std::string error;
  ASSERT_TRUE(ParseStrictJson(
      " {\"a\": [1, -2.5e3, true, false, null], \"b\": {\"c\": \"x\\\"\\u00e9\\ud83d\\ude00\"}} ",
      &v, &offset, &error))
      << error;
  ASSERT_EQ(v.type, JsonValue::Type::kObject);
  const JsonValue* a = v.Find("a");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->items.size(), 5u);
  EXPECT_EQ(a->items[1].text, "-2.5e3");
  EXPECT_TRUE(a->items[2].boolean);
  EXPECT_EQ(a->items[4].type, JsonValue::Type::kNull);
  EXPECT_EQ(v.Find("b")->Find("c")->text, "x\"\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(v.Find("b")->offset, 44u);
  EXPECT_EQ(v.Find("zz"), nullptr);
}

TEST(StrictJson, RefusesWhatIsNotJsonWithTheByte) {
  struct Case {
    std::string text;
    size_t offset;
  };
  const Case cases[] = {
      {"", 0},
      {"{", 1},
      {"{\"a\" 1}", 5},
      {"{\"a\": 1,}", 8},
      {"[1 2]", 3},
      {"\"abc", 4},
      {"\"a\nb\"", 2},
      {"\"\\q\"", 2},
      {"\"\\ud800\"", 7},
      {"01", 1},
      {"1.", 2},
      {"tru", 0},
      {"{} x", 3},
      {std::string(100, '['), kJsonMostDepth},
  };
  for (const Case& c : cases) {
    JsonValue v;
    size_t offset = 99999;
    std::string error;
    EXPECT_FALSE(ParseStrictJson(c.text, &v, &offset, &error)) << c.text;
    EXPECT_EQ(offset, c.offset) << c.text << ": " << error;
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace logvane
