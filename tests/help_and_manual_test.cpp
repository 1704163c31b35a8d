// --help, the manual page and the bash completion name every keyword of the
// parameter reader's own table and every option of the command line's, so
// none can be added without them.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "config/keywords.h"
#include "driver/command_line.h"
#include "driver/usage.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

std::string Source(const std::string& path) {
  return ReadFile(std::string(LOGVANE_SOURCE_DIR) + "/" + path);
}

// The manual page as text: font changes and escapes undone.
std::string PageText() {
  std::string roff = Source("doc/logvane.1");
  roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
  roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
  return std::regex_replace(roff, std::regex(R"(\\&)"), "");
}

// Whether `word` stands in `text` with no letter, digit or "_" next to it.
bool HasWord(const std::string& text, const std::string& word) {
  auto wordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    size_t after = at + word.size();
    bool before = at == 0 || !wordChar(text[at - 1]);
    if (before && (after == text.size() || !wordChar(text[after]) || word.back() == '=')) {
      return true;
    }
  }
  return false;
}

TEST(HelpAndManual, NameEveryKeywordAndOption) {
  const std::string help = UsageText();
  const std::string page = PageText();
  const std::string completion = Source("completion/logvane.bash");
  const std::vector<KeywordInfo> keywords = ParameterKeywords();
  ASSERT_GE(keywords.size(), 43u);
  for (const KeywordInfo& k : keywords) {
    std::string name(k.name);
    // In the help's group of the keyword, as "  NAME=value  text".
    EXPECT_NE(help.find("\n  " + name + std::string(k.value) + " "), std::string::npos) << name;
    EXPECT_TRUE(HasWord(page, name)) << name << " is not in doc/logvane.1";
    // The completion offers a keyword that takes a value with its "=".
    std::string offered =
        k.value.empty() || name.find('=') != std::string::npos ? name : name + "=";
    if (name == "ROBOTS") offered = "ROBOTS=RPT";
    EXPECT_TRUE(HasWord(completion, offered)) << offered << " is not in the completion";
  }
  for (const OptionEntry& o : Options()) {
    std::string name = "--" + std::string(o.longName);
    std::string shown = o.valueName.empty() ? name : name + "=" + std::string(o.valueName);
    EXPECT_NE(help.find(shown + " "), std::string::npos) << shown;
    EXPECT_NE(page.find(name), std::string::npos) << name << " is not in doc/logvane.1";
    EXPECT_TRUE(HasWord(completion, o.valueName.empty() ? name : name + "=")) << name;
    if (o.shortName != 0) {
      std::string shortName = std::string("-") + o.shortName;
      EXPECT_NE(help.find(shortName + ", " + name), std::string::npos) << shortName;
      // The page's item line names both.
      bool paired = false;
      for (size_t at = page.find(name); at != std::string::npos; at = page.find(name, at + 1)) {
        size_t start = page.rfind('\n', at) + 1;
        paired =
            paired || page.substr(start, at - start).find(shortName + " ") != std::string::npos;
      }
      EXPECT_TRUE(paired) << shortName << " is not beside " << name << " in doc/logvane.1";
      EXPECT_TRUE(HasWord(completion, shortName)) << shortName;
    }
  }
  // Each group has its heading, in the help and the page.
  for (KeywordGroup g : kKeywordGroups) {
    std::string group(GroupName(g));
    EXPECT_NE(help.find("\n" + group + ":\n"), std::string::npos) << group;
    EXPECT_NE(page.find(".SS " + group + "\n"), std::string::npos) << group;
  }
  // One table of exit statuses, in both.
  for (const char* status : {"0", "1", "2", "3"}) {
    EXPECT_NE(help.find(std::string("\n  ") + status + "  "), std::string::npos) << status;
    EXPECT_NE(page.find(std::string(".B ") + status + "\n"), std::string::npos) << status;
  }
  // One screen wide.
  for (size_t from = 0, end; (end = help.find('\n', from)) != std::string::npos; from = end + 1) {
    EXPECT_LE(end - from, 79u) << help.substr(from, end - from);
  }
}

}  // namespace
}  // namespace logvane::testing
