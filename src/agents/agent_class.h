// Who sent a request, as the crawler classification sees it: people, or
// which kind of machine.
#ifndef LOGVANE_AGENTS_AGENT_CLASS_H_
#define LOGVANE_AGENTS_AGENT_CLASS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace logvane {

enum class AgentClass : uint8_t {
  kHuman,          // a browser with a person at it
  kSearchCrawler,  // a search engine's crawler
  kAiTraining,     // collects pages to train models
  kAiAssistant,    // fetches a page for a user's question, or for an AI search index
  kAiAgent,        // a browser driven by an AI on a user's behalf
  kSeoMonitor,     // SEO tools, uptime and speed monitors
  kOtherBot,       // any other program: link previews, feed readers, scripts
};
inline constexpr size_t kAgentClasses = 7;

// "Human browser", "Search-engine crawler", ...: the texts a report shows.
std::string_view AgentClassName(AgentClass c);
// "human", "search", "ai-training", "ai-assistant", "ai-agent", "seo", "bot":
// the words of the BOTS file.
std::string_view AgentClassWord(AgentClass c);
// The class of a BOTS-file word (without regard to case); false if none.
bool AgentClassOfWord(std::string_view word, AgentClass* out);

inline bool IsBot(AgentClass c) { return c != AgentClass::kHuman; }
inline bool IsAi(AgentClass c) {
  return c == AgentClass::kAiTraining || c == AgentClass::kAiAssistant || c == AgentClass::kAiAgent;
}

}  // namespace logvane

#endif  // LOGVANE_AGENTS_AGENT_CLASS_H_
