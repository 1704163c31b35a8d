// The signs by which a user agent that names no known crawler still shows a
// program: the usual bot words as whole words ("bot", "crawler",
// "FooBot/1.0", "YisouSpider"), never inside other words ("Robot
// Framework", "Cubot" phones, "Bottle" apps), and a contact address.
#ifndef LOGVANE_AGENTS_BOT_WORDS_H_
#define LOGVANE_AGENTS_BOT_WORDS_H_

#include <cstddef>
#include <string_view>

namespace logvane {

// Whether the word agent[begin, end) (a whole run of letters and digits) is
// a bot word.
bool IsBotWord(std::string_view agent, size_t begin, size_t end);

// The first bot word of `agent` outside its web addresses, widened to the
// product name it belongs to ("Ai-Crawler_2" for "Ai-Crawler_2/1.0");
// empty when there is none.
std::string_view FindBotWord(std::string_view agent);

// Whether `agent` gives a web or mail address ("+http://example.com/bot.html",
// "mailto:", "(ops@example.com)"), which programs do and browsers never.
bool HasContactAddress(std::string_view agent);

// The host of the first web address in `agent`, without "www."
// ("example.com"), else the domain of its first mail address; empty when
// there is neither.
std::string_view ContactHost(std::string_view agent);

// Whether what uap-core's generic Spider rule saw, agent[begin, end), is a
// bot word rather than a piece of another word ("bot" in "Bottle"): it must
// begin or end a word, and "bot" must itself be a bot word.
bool IsSpiderEvidence(std::string_view agent, size_t begin, size_t end);

}  // namespace logvane

#endif  // LOGVANE_AGENTS_BOT_WORDS_H_
