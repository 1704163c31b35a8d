#include "agents/bot_words.h"

#include "agents/crawler_table.h"
#include "common/ascii_text.h"

namespace logvane {

namespace {

constexpr std::string_view kWholeWords[] = {
    "bot", "bots", "crawler", "crawlers", "crawl", "crawling", "spider", "spiders", "slurp",
    "fetcher", "scraper", "scrapers", "indexer", "archiver", "headless",
    // Feed fetchers tell how many readers they fetch for.
    "subscribers", "readers"};
// A word that ends in one of these is a bot word ("Webcrawler").
constexpr std::string_view kEndings[] = {"crawler", "spider", "fetcher", "scraper", "indexer"};

bool EndsWithFolded(std::string_view word, std::string_view ending) {
  return word.size() > ending.size() &&
         EqualsFolded(word.substr(word.size() - ending.size()), ending);
}

bool IsProductChar(char c) { return IsWordChar(c) || c == '-' || c == '_' || c == '.'; }

bool EndsAddress(char c) { return c == ' ' || c == ';' || c == ')' || c == '(' || c == ','; }

// Where the web address at agent[at] (its "http" or "www.") ends; `at`
// itself when none starts there.
size_t AddressEnd(std::string_view agent, size_t at) {
  std::string_view rest = agent.substr(at);
  if (!StartsWithFolded(rest, "http://") && !StartsWithFolded(rest, "https://") &&
      !StartsWithFolded(rest, "www.")) {
    return at;
  }
  while (at < agent.size() && !EndsAddress(agent[at])) ++at;
  return at;
}

// Whether agent[at] == '@' joins a mail address: a word before it, and a
// dotted host after it.
bool IsMailAt(std::string_view agent, size_t at) {
  if (at == 0 || !IsWordChar(agent[at - 1])) return false;
  size_t end = at + 1;
  bool dot = false;
  while (end < agent.size() && (IsWordChar(agent[end]) || agent[end] == '.' || agent[end] == '-')) {
    dot = dot || (agent[end] == '.' && end > at + 1);
    ++end;
  }
  return dot && IsWordChar(agent[end - 1]);
}

}  // namespace

bool IsBotWord(std::string_view agent, size_t begin, size_t end) {
  std::string_view word = agent.substr(begin, end - begin);
  // Every bot word ends in one of these letters; most words do not.
  if (word.empty()) return false;
  char last = FoldChar(word.back());
  if (last != 't' && last != 's' && last != 'r' && last != 'l' && last != 'g' && last != 'p') {
    return false;
  }
  for (std::string_view w : kWholeWords) {
    if (EqualsFolded(word, w)) return true;
  }
  for (std::string_view e : kEndings) {
    if (EndsWithFolded(word, e)) return true;
  }
  // "FooBot" or "foobot/1.0", but not "Robot", "Cubot" or "CUBOT": a word
  // ending in "bot" counts when a version follows it or it ends in "Bot",
  // written so.
  if (!EndsWithFolded(word, "bot")) return false;
  if (end < agent.size() && agent[end] == '/') return true;
  return word.substr(word.size() - 3) == "Bot";
}

std::string_view FindBotWord(std::string_view agent) {
  size_t i = 0;
  while (i < agent.size()) {
    if (!IsWordChar(agent[i])) {
      ++i;
      continue;
    }
    if (i == 0 || !IsWordChar(agent[i - 1])) {
      size_t address = AddressEnd(agent, i);
      if (address != i) {
        i = address;  // "bot.html" in an address names nothing
        continue;
      }
    }
    size_t end = i;
    while (end < agent.size() && IsWordChar(agent[end])) ++end;
    if (IsBotWord(agent, i, end)) {
      size_t first = i;
      size_t last = end;
      while (first > 0 && IsProductChar(agent[first - 1])) --first;
      while (last < agent.size() && IsProductChar(agent[last])) ++last;
      return agent.substr(first, last - first);
    }
    i = end;
  }
  return {};
}

bool HasContactAddress(std::string_view agent) {
  if (!ContactHost(agent).empty()) return true;
  for (size_t at = 0; at + 7 <= agent.size(); ++at) {
    if (EqualsFolded(agent.substr(at, 7), "mailto:")) return true;
  }
  return false;
}

std::string_view ContactHost(std::string_view agent) {
  for (size_t at = 0; at < agent.size(); ++at) {
    if (at > 0 && IsWordChar(agent[at - 1])) continue;
    size_t end = AddressEnd(agent, at);
    if (end == at) continue;
    std::string_view address = agent.substr(at, end - at);
    size_t scheme = address.find("://");
    if (scheme != std::string_view::npos) address.remove_prefix(scheme + 3);
    if (StartsWithFolded(address, "www.")) address.remove_prefix(4);
    size_t path = address.find_first_of("/?#:");
    if (path != std::string_view::npos) address = address.substr(0, path);
    if (address.find('.') != std::string_view::npos) return address;
  }
  for (size_t at = agent.find('@'); at != std::string_view::npos; at = agent.find('@', at + 1)) {
    if (!IsMailAt(agent, at)) continue;
    size_t end = at + 1;
    while (end < agent.size() &&
           (IsWordChar(agent[end]) || agent[end] == '.' || agent[end] == '-')) {
      ++end;
    }
    return agent.substr(at + 1, end - at - 1);
  }
  return {};
}

bool IsSpiderEvidence(std::string_view agent, size_t begin, size_t end) {
  if (begin >= end || end > agent.size()) return false;
  size_t wordBegin = begin;
  size_t wordEnd = end;
  while (wordBegin > 0 && IsWordChar(agent[wordBegin - 1])) --wordBegin;
  while (wordEnd < agent.size() && IsWordChar(agent[wordEnd])) ++wordEnd;
  if (EqualsFolded(agent.substr(begin, end - begin), "bot")) {
    return IsBotWord(agent, wordBegin, wordEnd);
  }
  return wordBegin == begin || wordEnd == end;
}

}  // namespace logvane
