// Logvane's families against uap-core's own test cases, which Debian ships
// beside regexes.yaml. Skipped where uap-core is not installed (CI installs
// it).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "agents/flat_yaml.h"
#include "agents/uap_matcher.h"
#include "agents/uap_regexes.h"

namespace logvane {
namespace {

constexpr const char* kUapDir = "/usr/share/uap-core";

bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *text = content.str();
  return true;
}

struct Agreement {
  size_t cases = 0;
  size_t familyMisses = 0;
  size_t cutFamilies = 0;        // misses only because the family is longer than a field
  size_t fieldMisses = 0;        // any other field (versions, brand, model)
  size_t familyAloneMisses = 0;  // the family asked for alone differs from the whole match's
  std::vector<std::string> firstMisses;
};

// Runs one test file through `list`; `keys` are the file's names for the
// fields in order (the family first).
Agreement Agree(const UapMatcher& matcher, UapList list, const std::string& file,
                const std::vector<std::string>& keys) {
  Agreement result;
  std::string text;
  EXPECT_TRUE(ReadWhole(file, &text)) << file;
  UapScratch scratch;
  Status status = ReadFlatYaml(text, file, {"test_cases"}, [&](size_t, const FlatYamlItem& item) {
    std::string agent;
    std::vector<std::string> expected(keys.size());
    for (const auto& [key, value] : item.fields) {
      if (key == "user_agent_string") agent = value;
      for (size_t k = 0; k < keys.size(); ++k) {
        if (key == keys[k]) expected[k] = value;
      }
    }
    UapMatch match;
    matcher.Match(list, agent, kUapAllFields, scratch, &match);
    ++result.cases;
    // The family alone, as the classifier asks for it, takes shortcuts
    // (no run for groups when the first group is one text): it must agree.
    UapMatch family;
    matcher.Match(list, agent, 1, scratch, &family);
    if (family.fields[0].view() != match.fields[0].view()) ++result.familyAloneMisses;
    if (match.fields[0].view() != expected[0]) {
      ++result.familyMisses;
      // A family longer than a field is cut on purpose: say so.
      bool cut = expected[0].size() > kUapFieldWidth &&
                 expected[0].compare(0, kUapFieldWidth, match.fields[0].view()) == 0;
      if (cut) ++result.cutFamilies;
      if (result.firstMisses.size() < 10) {
        result.firstMisses.push_back(
            "line " + std::to_string(item.line) + ": expected '" + expected[0] + "', got '" +
            std::string(match.fields[0].view()) + "' (rule " + std::to_string(match.rule) +
            (cut ? ", cut to the field's width" : "") + ") for " + agent);
      }
    }
    for (size_t k = 1; k < keys.size(); ++k) {
      if (match.fields[k].view() != expected[k]) {
        ++result.fieldMisses;
        break;
      }
    }
    return std::string();
  });
  EXPECT_TRUE(status.ok()) << status.ToString();
  return result;
}

TEST(UapAgreement, FamiliesMatchUapCoreTestCasesOnAtLeast99Percent) {
  std::string regexesText;
  if (!ReadWhole(std::string(kUapDir) + "/regexes.yaml", &regexesText)) {
    GTEST_SKIP() << "uap-core is not installed (Debian: uap-core): " << kUapDir;
  }
  if (!CanReadUapRegexes() || !CanMatchUapRegexes()) {
    GTEST_SKIP() << "this build has no libyaml or no RE2";
  }
  UapRegexes regexes;
  ASSERT_TRUE(ParseUapRegexes(regexesText, "regexes.yaml", &regexes).ok());
  UapMatcher matcher;
  RefusedExpressions refused;
  ASSERT_TRUE(matcher.Build(regexes, "regexes.yaml", &refused).ok());
  std::printf("expressions refused by RE2: %zu of %zu\n", refused.count,
              regexes.userAgent.size() + regexes.os.size() + regexes.device.size());

  struct File {
    const char* name;
    UapList list;
    std::vector<std::string> keys;
  };
  const File files[] = {
      {"test_ua.yaml", UapList::kUserAgent, {"family", "major", "minor", "patch"}},
      {"test_os.yaml", UapList::kOs, {"family", "major", "minor", "patch", "patch_minor"}},
      {"test_device.yaml", UapList::kDevice, {"family", "brand", "model"}},
  };
  for (const File& file : files) {
    Agreement a =
        Agree(matcher, file.list, std::string(kUapDir) + "/tests/" + file.name, file.keys);
    double share = a.cases == 0 ? 0
                                : 100.0 * static_cast<double>(a.cases - a.familyMisses) /
                                      static_cast<double>(a.cases);
    std::printf(
        "%s: %zu cases, families equal on %zu (%.2f%%), %zu misses (%zu of them cut to "
        "%zu bytes); other fields differ on %zu\n",
        file.name, a.cases, a.cases - a.familyMisses, share, a.familyMisses, a.cutFamilies,
        kUapFieldWidth, a.fieldMisses);
    for (const std::string& miss : a.firstMisses) std::printf("  %s\n", miss.c_str());
    EXPECT_GT(a.cases, 100u) << file.name;
    EXPECT_GE(share, 99.0) << file.name;
    EXPECT_EQ(a.familyAloneMisses, 0u) << file.name;
  }
}

}  // namespace
}  // namespace logvane
