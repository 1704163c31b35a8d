#include "agents/crawler_table.h"

#include <algorithm>

#include "common/ascii_text.h"

namespace logvane {

namespace {

struct BuiltInCrawler {
  const char* token;
  AgentClass agentClass;
  const char* name;  // "" for the token
  const char* operatorName;
};

constexpr AgentClass S = AgentClass::kSearchCrawler;
constexpr AgentClass T = AgentClass::kAiTraining;
constexpr AgentClass A = AgentClass::kAiAssistant;
constexpr AgentClass G = AgentClass::kAiAgent;
constexpr AgentClass M = AgentClass::kSeoMonitor;
constexpr AgentClass B = AgentClass::kOtherBot;

// The tokens as their operators publish them in their user agents.
// Google-Extended and Applebot-Extended are missing on purpose: they are
// robots.txt tokens only, and never appear in a user agent.
constexpr BuiltInCrawler kBuiltIn[] = {
    // Search engines.
    {"Googlebot", S, "", "Google"},
    {"Storebot-Google", S, "", "Google"},
    {"bingbot", S, "", "Microsoft"},
    {"msnbot", S, "", "Microsoft"},
    {"YandexBot", S, "", "Yandex"},
    {"YandexImages", S, "", "Yandex"},
    {"YandexMobileBot", S, "", "Yandex"},
    {"Baiduspider", S, "", "Baidu"},
    {"DuckDuckBot", S, "", "DuckDuckGo"},
    {"Applebot", S, "", "Apple"},
    {"Slurp", S, "Yahoo! Slurp", "Yahoo"},
    {"SeznamBot", S, "", "Seznam"},
    {"Sogou web spider", S, "", "Sogou"},
    {"Qwantbot", S, "", "Qwant"},
    {"Qwantify", S, "", "Qwant"},
    {"Yeti", S, "", "Naver"},
    {"MojeekBot", S, "", "Mojeek"},
    {"coccocbot", S, "", "Coc Coc"},
    {"PetalBot", S, "", "Huawei"},
    {"360Spider", S, "", "Qihoo 360"},
    {"YisouSpider", S, "", "Alibaba"},
    {"SeekportBot", S, "", "Seekport"},
    {"Exabot", S, "", "Exalead"},
    {"Mail.RU_Bot", S, "", "VK"},
    // AI training crawlers.
    {"GPTBot", T, "", "OpenAI"},
    {"ClaudeBot", T, "", "Anthropic"},
    {"anthropic-ai", T, "", "Anthropic"},
    {"Claude-Web", T, "", "Anthropic"},
    {"CCBot", T, "", "Common Crawl"},
    {"Bytespider", T, "", "ByteDance"},
    {"TikTokSpider", T, "", "ByteDance"},
    {"meta-externalagent", T, "", "Meta"},
    {"FacebookBot", T, "", "Meta"},
    {"GoogleOther", T, "", "Google"},
    {"Google-CloudVertexBot", T, "", "Google"},
    {"Amazonbot", T, "", "Amazon"},
    {"cohere-training-data-crawler", T, "", "Cohere"},
    {"Diffbot", T, "", "Diffbot"},
    {"ImagesiftBot", T, "", "ImageSift"},
    {"omgili", T, "", "Webz.io"},
    {"omgilibot", T, "", "Webz.io"},
    {"Timpibot", T, "", "Timpi"},
    {"AI2Bot", T, "", "Ai2"},
    {"Ai2Bot-Dolma", T, "", "Ai2"},
    {"DeepSeekBot", T, "", "DeepSeek"},
    {"PanguBot", T, "", "Huawei"},
    {"YandexAdditional", T, "", "Yandex"},
    {"YandexAdditionalBot", T, "", "Yandex"},
    {"img2dataset", T, "", ""},
    {"LAIONDownloader", T, "", "LAION"},
    {"ICC-Crawler", T, "", "NICT"},
    {"SBIntuitionsBot", T, "", "SB Intuitions"},
    {"Cotoyogi", T, "", "ROIS"},
    {"VelenPublicWebCrawler", T, "", "Velen"},
    // AI assistants fetching for a user, and AI search indexes.
    {"ChatGPT-User", A, "", "OpenAI"},
    {"OAI-SearchBot", A, "", "OpenAI"},
    {"Claude-User", A, "", "Anthropic"},
    {"Claude-SearchBot", A, "", "Anthropic"},
    {"Perplexity-User", A, "", "Perplexity"},
    {"PerplexityBot", A, "", "Perplexity"},
    {"meta-externalfetcher", A, "", "Meta"},
    {"cohere-ai", A, "", "Cohere"},
    {"DuckAssistBot", A, "", "DuckDuckGo"},
    {"MistralAI-User", A, "", "Mistral AI"},
    {"YouBot", A, "", "You.com"},
    {"Amzn-User", A, "", "Amazon"},
    {"Amzn-SearchBot", A, "", "Amazon"},
    {"Google-NotebookLM", A, "", "Google"},
    {"GoogleAgent-URLContext", A, "", "Google"},
    {"Gemini-Deep-Research", A, "", "Google"},
    {"AzureAI-SearchBot", A, "", "Microsoft"},
    {"Kimi-User", A, "", "Moonshot AI"},
    {"TongyiBot", A, "", "Alibaba"},
    {"YiyanBot", A, "", "Baidu"},
    {"PhindBot", A, "", "Phind"},
    {"Andibot", A, "", "Andi"},
    {"kagi-fetcher", A, "", "Kagi"},
    {"LinerBot", A, "", "Liner"},
    {"iaskspider", A, "", "iAsk"},
    {"ExaSearchBot", A, "", "Exa"},
    // Browsers an AI drives for a user.
    {"ChatGPT Agent", G, "", "OpenAI"},
    {"GoogleAgent-Mariner", G, "", "Google"},
    {"NovaAct", G, "", "Amazon"},
    {"AmazonBuyForMe", G, "", "Amazon"},
    {"Manus-User", G, "", "Butterfly Effect"},
    {"TwinAgent", G, "", "Twin"},
    // SEO tools and monitors.
    {"AhrefsBot", M, "", "Ahrefs"},
    {"AhrefsSiteAudit", M, "", "Ahrefs"},
    {"SemrushBot", M, "", "Semrush"},
    {"SiteAuditBot", M, "", "Semrush"},
    {"MJ12bot", M, "", "Majestic"},
    {"DotBot", M, "", "Moz"},
    {"rogerbot", M, "", "Moz"},
    {"Ezooms", M, "", "Moz"},
    {"BLEXBot", M, "", "WebMeUp"},
    {"DataForSeoBot", M, "", "DataForSEO"},
    {"serpstatbot", M, "", "Serpstat"},
    {"Screaming Frog SEO Spider", M, "", "Screaming Frog"},
    {"Barkrowler", M, "", "Babbar"},
    {"MegaIndex", M, "", "MegaIndex"},
    {"Sitebulb", M, "", "Sitebulb"},
    {"Google-InspectionTool", M, "", "Google"},
    {"Google Page Speed Insights", M, "", "Google"},
    {"Chrome-Lighthouse", M, "Lighthouse", "Google"},
    {"UptimeRobot", M, "", "UptimeRobot"},
    {"Pingdom.com_bot_version", M, "Pingdom", "SolarWinds"},
    {"PingdomPageSpeed", M, "Pingdom", "SolarWinds"},
    {"StatusCake", M, "", "StatusCake"},
    {"Site24x7", M, "", "Zoho"},
    {"GTmetrix", M, "", "GTmetrix"},
    {"Better Uptime Bot", M, "", "Better Stack"},
    {"Datadog/Synthetics", M, "Datadog Synthetics", "Datadog"},
    {"Uptime-Kuma", M, "", ""},
    {"NewRelicPinger", M, "", "New Relic"},
    {"check_http", M, "", "Nagios"},
    // Link previews, archives, feed readers, tools.
    {"facebookexternalhit", B, "", "Meta"},
    {"facebookcatalog", B, "", "Meta"},
    {"Twitterbot", B, "", "X"},
    {"LinkedInBot", B, "", "LinkedIn"},
    {"Slackbot", B, "", "Slack"},
    {"Slack-ImgProxy", B, "", "Slack"},
    {"Discordbot", B, "", "Discord"},
    {"TelegramBot", B, "", "Telegram"},
    {"Pinterestbot", B, "", "Pinterest"},
    {"redditbot", B, "", "Reddit"},
    {"Embedly", B, "", "Embedly"},
    {"BingPreview", B, "", "Microsoft"},
    {"AdsBot-Google", B, "", "Google"},
    {"Mediapartners-Google", B, "", "Google"},
    {"FeedFetcher-Google", B, "", "Google"},
    {"archive.org_bot", B, "", "Internet Archive"},
    {"ia_archiver", B, "", ""},
    {"UniversalFeedParser", B, "", ""},
    {"Feedly", B, "", "Feedly"},
    {"Feedbin", B, "", "Feedbin"},
    {"Tiny Tiny RSS", B, "", ""},
    {"MetaURI", B, "", ""},
    {"internal dummy connection", B, "Apache (internal dummy connection)", ""},
    {"curl", B, "", ""},
    {"Wget", B, "", ""},
    {"python-requests", B, "", ""},
    {"Python-urllib", B, "", ""},
    {"python-httpx", B, "", ""},
    {"aiohttp", B, "", ""},
    {"Go-http-client", B, "", ""},
    {"libwww-perl", B, "", ""},
    {"Apache-HttpClient", B, "", ""},
    {"node-fetch", B, "", ""},
    {"axios", B, "", ""},
    {"Scrapy", B, "", ""},
    {"HeadlessChrome", B, "", ""},
    {"PhantomJS", B, "", ""},
    {"Jakarta Commons-HttpClient", B, "", ""},
    {"libfetch", B, "", ""},
    {"Faraday", B, "", ""},
    {"HTMLParser", B, "", ""},
    {"Indy Library", B, "", ""},
    {"zgrab", B, "", ""},
    {"masscan", B, "", ""},
    {"Netcraft Web Server Survey", B, "", "Netcraft"},
};

// Whether `token` stands at agent[at] as a whole token.
bool TokenAt(std::string_view agent, size_t at, const Crawler& c) {
  size_t end = at + c.token.size();
  if (end > agent.size() || !EqualsFolded(agent.substr(at, c.token.size()), c.token)) {
    return false;
  }
  if (c.versioned) {
    return end + 1 < agent.size() && agent[end] == '/' && IsDigit(agent[end + 1]);
  }
  return end == agent.size() || !IsWordChar(agent[end]) || !IsWordChar(agent[end - 1]);
}

}  // namespace

CrawlerTable CrawlerTable::BuiltIn() {
  CrawlerTable table;
  for (const BuiltInCrawler& b : kBuiltIn) {
    Crawler c;
    c.token = b.token;
    c.agentClass = b.agentClass;
    c.name = b.name;
    c.operatorName = b.operatorName;
    table.Put(std::move(c));
  }
  return table;
}

bool CrawlerTable::Put(Crawler entry) {
  if (entry.token.empty()) return false;
  std::vector<uint32_t>& bucket = byFirst_[static_cast<unsigned char>(FoldChar(entry.token[0]))];
  for (uint32_t i : bucket) {
    if (EqualsFolded(entries_[i].token, entry.token)) {
      entries_[i] = std::move(entry);
      return true;
    }
  }
  size_t pair = static_cast<size_t>(static_cast<unsigned char>(FoldChar(entry.token[0]))) * 256 +
                (entry.token.size() > 1 ? static_cast<unsigned char>(FoldChar(entry.token[1])) : 0);
  pairs_[pair / 64] |= uint64_t{1} << (pair % 64);
  bucket.push_back(static_cast<uint32_t>(entries_.size()));
  entries_.push_back(std::move(entry));
  std::stable_sort(bucket.begin(), bucket.end(), [this](uint32_t a, uint32_t b) {
    return entries_[a].token.size() > entries_[b].token.size();
  });
  return true;
}

int CrawlerTable::Find(std::string_view agent) const {
  auto starts = [this](unsigned char a, unsigned char b) {
    size_t pair = static_cast<size_t>(a) * 256 + b;
    return (pairs_[pair / 64] >> (pair % 64)) & 1;
  };
  for (size_t at = 0; at < agent.size(); ++at) {
    // A token starts where no word goes on from the left.
    if (at > 0 && IsWordChar(agent[at - 1]) && IsWordChar(agent[at])) continue;
    unsigned char first = static_cast<unsigned char>(FoldChar(agent[at]));
    unsigned char second =
        at + 1 < agent.size() ? static_cast<unsigned char>(FoldChar(agent[at + 1])) : 0;
    if (!starts(first, second) && !starts(first, 0)) continue;
    // Longest first, so "SemrushBot-SWA" wins over "SemrushBot" here.
    for (uint32_t i : byFirst_[first]) {
      const std::string& token = entries_[i].token;
      if (token.size() > 1 && static_cast<unsigned char>(FoldChar(token[1])) != second) continue;
      if (TokenAt(agent, at, entries_[i])) return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace logvane
