// Where the tests of the agents layer find the data they read but the
// project does not carry: uap-core's files (Debian's package) and the shared
// folder beside the checkout.
#ifndef LOGVANE_TESTS_SUPPORT_AGENT_TEST_DATA_H_
#define LOGVANE_TESTS_SUPPORT_AGENT_TEST_DATA_H_

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "agents/agent_classifier.h"

namespace logvane::agent_test {

inline constexpr const char* kRegexesPath = "/usr/share/uap-core/regexes.yaml";

inline bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *text = content.str();
  return true;
}

// Whether this build and machine classify agents: RE2, libyaml and
// uap-core's file are all here.
inline bool CanClassifyHere() {
  std::string why;
  return CanClassifyAgents(&why) && std::filesystem::exists(kRegexesPath);
}

// A file of the shared folder ("agents/ai-robots.json"): beside the checkout,
// or beside the folder of worktrees that holds it; "" when neither has it.
inline std::string SharedFile(const std::string& relative) {
  for (const char* up : {"/../shared/", "/../../shared/"}) {
    std::string path = std::string(LOGVANE_SOURCE_DIR) + up + relative;
    if (std::filesystem::exists(path)) return path;
  }
  return {};
}

// uap-core's rules, loaded once for the whole test program; nullptr when
// uap-core or the libraries are missing (the caller skips).
inline const AgentRules* SharedRules() {
  static const std::unique_ptr<AgentRules> rules = [] {
    std::string text;
    std::string why;
    if (!CanClassifyAgents(&why) || !ReadWhole(kRegexesPath, &text)) {
      return std::unique_ptr<AgentRules>();
    }
    auto loaded = std::make_unique<AgentRules>();
    if (!LoadAgentRules(text, kRegexesPath, loaded.get()).ok())
      return std::unique_ptr<AgentRules>();
    return loaded;
  }();
  return rules.get();
}

}  // namespace logvane::agent_test

#endif  // LOGVANE_TESTS_SUPPORT_AGENT_TEST_DATA_H_
