#include "config/keyword_hints.h"

#include <gtest/gtest.h>

namespace logvane {
namespace {

TEST(KeywordHints, SettingWordNeedsAWordThenEquals) {
  EXPECT_EQ(SettingWord("LOKUP=N"), "LOKUP");
  EXPECT_EQ(SettingWord("in_file \t= x"), "in_file");
  EXPECT_EQ(SettingWord("two words=x"), "");
  EXPECT_EQ(SettingWord("9LIVES=x"), "");
  EXPECT_EQ(SettingWord("=x"), "");
  EXPECT_EQ(SettingWord("NOEQUALS"), "");
}

TEST(KeywordHints, NearestKeywordAllowsOneSlipInShortWordsAndTwoInLonger) {
  const std::vector<std::string_view> keywords = {"INFILE",     "OUTFILE",  "LOOKUP",  "PLOW",
                                                  "PAGES=FULL", "MAXUSERS", "MAXPAGES"};
  EXPECT_EQ(NearestKeyword("lokup", keywords), "LOOKUP");
  EXPECT_EQ(NearestKeyword("INFLIE", keywords), "INFILE");  // two letters swapped
  EXPECT_EQ(NearestKeyword("OUTFLE", keywords), "OUTFILE");
  EXPECT_EQ(NearestKeyword("MAXUSER", keywords), "MAXUSERS");
  EXPECT_EQ(NearestKeyword("PAGE", keywords), "PAGES=FULL");
  EXPECT_EQ(NearestKeyword("PLAW", keywords), "PLOW");
  EXPECT_EQ(NearestKeyword("PAWS", keywords), "");
  EXPECT_EQ(NearestKeyword("COLOUR", keywords), "");
  EXPECT_EQ(EditDistanceFolded("kitten", "SITTING"), 3u);
}

TEST(KeywordHints, PlainNumbers) {
  for (const char* yes : {"5", " -12", "+3 ", "\t007\r"}) EXPECT_TRUE(IsPlainNumber(yes)) << yes;
  for (const char* no : {"", "abc", "5x", "- 5", "1.5", "+"}) EXPECT_FALSE(IsPlainNumber(no)) << no;
}

}  // namespace
}  // namespace logvane
