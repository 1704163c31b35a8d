// The manual page documents every parameter-file keyword and every
// *ERROR*, *WARNING* and *NOTE* message the program can print, so neither
// can be added without it.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "config/parameter_file.h"
#include "common/ascii_text.h"
#include "common/version.h"
#include "support/test_support.h"

namespace logvane::testing {
namespace {

// Every C string literal of the program's sources (tests left out), with
// its escapes undone.
std::vector<std::string> SourceLiterals() {
  std::vector<std::string> literals;
  const std::regex literal(R"re("((?:[^"\\\n]|\\.)*)")re");
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::string(LOGVANE_SOURCE_DIR) + "/src")) {
    std::string path = entry.path().string();
    if (!path.ends_with(".cpp") && !path.ends_with(".h")) continue;
    if (path.ends_with("_test.cpp")) continue;
    std::string text = ReadFile(path);
    for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it) {
      std::string raw = (*it)[1], plain;
      for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
          plain += raw[i];
          continue;
        }
        char c = raw[++i];
        plain += c == 'n' ? '\n' : c == 't' ? '\t' : c;
      }
      literals.push_back(plain);
    }
  }
  return literals;
}

// The page's text as a reader sees it: font changes, escapes and
// continued lines undone, blanks collapsed.
std::string PageText() {
  std::string roff = ReadFile(std::string(LOGVANE_SOURCE_DIR) + "/doc/logvane.1");
  roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
  roff = std::regex_replace(roff, std::regex(R"(\\\n)"), "");
  roff = std::regex_replace(roff, std::regex(R"(\\&)"), "");
  roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
  roff = std::regex_replace(roff, std::regex(R"(\\e)"), "\\");
  return std::regex_replace(roff, std::regex(R"(\s+)"), " ");
}

std::string Collapsed(const std::string& text) {
  std::string out = std::regex_replace(text, std::regex(R"(\s+)"), " ");
  size_t first = out.find_first_not_of(' '), last = out.find_last_not_of(' ');
  return first == std::string::npos ? "" : out.substr(first, last - first + 1);
}

bool HasWord(const std::string& text, const std::string& word) {
  auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    bool before = at == 0 || !isWordChar(text[at - 1]);
    size_t after = at + word.size();
    if (before && (after == text.size() || !isWordChar(text[after]))) return true;
  }
  return false;
}

TEST(ManPage, DocumentsEveryKeyword) {
  // A literal is a keyword when a line made of it does something: it is
  // echoed, or refused.
  const std::regex shape("[A-Za-z_][A-Za-z0-9_]*(=[A-Za-z0-9]+)?");
  std::set<std::string> keywords;
  for (const std::string& literal : SourceLiterals()) {
    if (!std::regex_match(literal, shape)) continue;
    RunSettings settings;
    ReportLabels labels;
    std::string echo;
    Console console(&echo);
    bool goesOn = ReadParameterFile(literal + "=1\n", settings, labels, console, {});
    console.Flush();
    if (!echo.empty() || !goesOn) keywords.insert(literal);
  }
  ASSERT_GE(keywords.size(), 30u);  // the scan found the keyword tables
  // A word that merely begins with a keyword ("selection") is that keyword.
  std::erase_if(keywords, [&](const std::string& word) {
    for (const std::string& keyword : keywords) {
      if (keyword.size() < word.size() && EqualsFolded(word.substr(0, keyword.size()), keyword)) {
        return true;
      }
    }
    return false;
  });
  const std::string page = PageText();
  for (const std::string& keyword : keywords) {
    EXPECT_TRUE(HasWord(page, keyword)) << keyword << " is not in doc/logvane.1";
  }
}

TEST(ManPage, DocumentsEveryErrorWarningAndNote) {
  const std::string page = PageText();
  int messages = 0;
  for (const std::string& literal : SourceLiterals()) {
    if (literal.find("*ERROR*") == std::string::npos &&
        literal.find("*WARNING*") == std::string::npos &&
        literal.find("*NOTE*") == std::string::npos) {
      continue;
    }
    ++messages;
    std::string message = Collapsed(literal);
    EXPECT_NE(page.find(message), std::string::npos) << message << " is not in doc/logvane.1";
  }
  EXPECT_GE(messages, 20);
}

TEST(ManPage, NamesTheProgramsVersion) {
  std::string version(kVersion);
  std::string page = ReadFile(std::string(LOGVANE_SOURCE_DIR) + "/doc/logvane.1");
  std::string title = page.substr(0, page.find('\n'));
  EXPECT_TRUE(title.starts_with(".TH LOGVANE 1 ")) << title;
  EXPECT_NE(title.find("\"Logvane " + version + "\""), std::string::npos)
      << "the .TH line of doc/logvane.1 does not name version " << version;
}

}  // namespace
}  // namespace logvane::testing
