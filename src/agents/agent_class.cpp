#include "agents/agent_class.h"

#include "common/ascii_text.h"

namespace logvane {

namespace {

struct ClassTexts {
  std::string_view name;
  std::string_view word;
};
constexpr ClassTexts kTexts[kAgentClasses] = {
    {"Human browser", "human"},
    {"Search-engine crawler", "search"},
    {"AI training crawler", "ai-training"},
    {"AI assistant or search fetcher", "ai-assistant"},
    {"AI agent", "ai-agent"},
    {"SEO and monitoring tool", "seo"},
    {"Other bot", "bot"},
};

}  // namespace

std::string_view AgentClassName(AgentClass c) { return kTexts[static_cast<size_t>(c)].name; }
std::string_view AgentClassWord(AgentClass c) { return kTexts[static_cast<size_t>(c)].word; }

bool AgentClassOfWord(std::string_view word, AgentClass* out) {
  for (size_t i = 0; i < kAgentClasses; ++i) {
    if (EqualsFolded(word, kTexts[i].word)) {
      *out = static_cast<AgentClass>(i);
      return true;
    }
  }
  return false;
}

}  // namespace logvane
