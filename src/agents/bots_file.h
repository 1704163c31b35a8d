// A BOTS file: crawlers to add to the built-in table or to replace entries
// of it. Two formats, told apart by the first character that is not blank:
//
//  - "{": the robots.json of the ai.robots.txt project, an object whose keys
//    are the tokens, each an object with "operator" (Markdown links are
//    reduced to their text), "function" (mapped to a class by
//    ClassOfRobotsFunction) and "has_name_and_version" (true: the token
//    counts only with a version after it, "Code/1.2"); other members are
//    passed over.
//  - otherwise one crawler a line, "token, class[, name[, operator]]", where
//    class is one of human, search, ai-training, ai-assistant, ai-agent,
//    seo, bot; a token that ends in "/" counts only with a version after
//    it; the operator is the rest of the line, commas and all; blank lines
//    and lines starting with "#" are passed over.
#ifndef LOGVANE_AGENTS_BOTS_FILE_H_
#define LOGVANE_AGENTS_BOTS_FILE_H_

#include <cstddef>
#include <string_view>
#include <vector>

#include "agents/agent_class.h"
#include "agents/crawler_table.h"
#include "common/status.h"

namespace logvane {

inline constexpr size_t kBotsFileMostEntries = 10000;
inline constexpr size_t kBotsTokenWidth = 100;

// The class of a robots.json "function" text, by the first of these it
// contains (A-Z folded): "assistant", "prompt", "answer", "on behalf" or
// "search" give an AI assistant or search fetcher; "agent" an AI agent;
// anything else (scrapers, data providers, training) an AI training
// crawler.
AgentClass ClassOfRobotsFunction(std::string_view function);

// Parses the contents of the BOTS file `name` into `out`, in file order. A
// bad file gives a Corrupt status with the line (the byte for JSON) and the
// reason, and `out` is left empty.
Status ParseBotsFile(std::string_view text, std::string_view name, std::vector<Crawler>* out);

}  // namespace logvane

#endif  // LOGVANE_AGENTS_BOTS_FILE_H_
