#include "driver/agent_rules_loading.h"

#include <xxhash.h>

#include <future>
#include <utility>

#include "platform/diagnostics.h"
#include "state/provenance.h"

namespace logvane {

namespace {

Status ReadRulesFile(Env& env, const std::string& path, std::string* text) {
  Status status = ReadWholeFile(env, path, text);
  if (status.ok()) return status;
  return Status::FromErrno(status.sysError(), path,
                           status.message().empty() ? "cannot read it" : status.message());
}

std::string TextFingerprint(std::string_view text) {
  XXH128_hash_t digest = XXH3_128bits(text.data(), text.size());
  return FingerprintText(Fingerprint{digest.high64, digest.low64});
}

// The crawlers carried in the program, which a later Logvane may change.
std::string BuiltInCrawlersFingerprint() {
  const CrawlerTable table = CrawlerTable::BuiltIn();
  std::string text;
  for (size_t i = 0; i < table.size(); ++i) {
    const Crawler& c = table[i];
    text += c.token + '\0' + std::string(AgentClassWord(c.agentClass)) + '\0' + c.name + '\0' +
            c.operatorName + (c.versioned ? '\1' : '\0') + '\n';
  }
  return TextFingerprint(text);
}

}  // namespace

Status ReadAgentFiles(Env& env, const RunSettings& settings, UapRegexes* regexes, AgentRules* rules,
                      AgentRulesMarks* marks) {
  std::string why;
  if (!CanClassifyAgents(&why)) return Status::Unsupported("AGENTS is not available: " + why);
  const std::string path = AgentRegexesPath(settings);
  std::string text;
  Status status = ReadRulesFile(env, path, &text);
  if (status.ok()) status = ParseUapRegexes(text, path, regexes);
  std::string bots;
  if (status.ok() && !settings.botsFile.empty()) {
    status = ReadRulesFile(env, settings.botsFile, &bots);
    if (status.ok()) status = AddBotsFile(bots, settings.botsFile, rules);
  }
  if (status.ok() && marks != nullptr) {
    marks->agents =
        "regexes " + TextFingerprint(text) + ", crawlers " + BuiltInCrawlersFingerprint();
    marks->bots = settings.botsFile.empty() ? "" : TextFingerprint(bots);
  }
  return status;
}

AgentRulesLoading::~AgentRulesLoading() {
  if (builder_.joinable()) builder_.join();
}

void AgentRulesLoading::Fail(const Status& status, Console& console, Console* diagnostics) {
  console.Write("*WARNING* User agents not classified: ");
  console.Write(status.Reason());
  console.Write("\n");
  Diagnostics(diagnostics)
      .Reason("user agents not classified, the report has no user-agent sections: " +
              status.ToString());
}

void AgentRulesLoading::Start(Env& env, const RunSettings& settings, Console& console,
                              Console* diagnostics) {
  if (!AgentsWanted(settings)) return;
  regexesPath_ = AgentRegexesPath(settings);
  regexes_ = std::make_unique<UapRegexes>();
  rules_ = std::make_unique<AgentRules>();
  Status status = ReadAgentFiles(env, settings, regexes_.get(), rules_.get(), &marks_);
  if (!status.ok()) {
    Fail(status, console, diagnostics);
    rules_.reset();
    regexes_.reset();
    return;
  }
  // Compiling is what takes long: it runs beside the reading phase, whose
  // threads wait for it at their first agent.
  auto promise = std::make_shared<std::promise<const AgentRules*>>();
  pending_ = promise->get_future().share();
  auto build = [this, promise] {
    built_ = rules_->matcher.Build(*regexes_, regexesPath_, &rules_->refused);
    regexes_.reset();
    promise->set_value(built_.ok() ? rules_.get() : nullptr);
  };
  // A thread that cannot be started leaves the compiling to this one.
  if (!env.StartThread(build, &builder_).ok()) build();
}

const AgentRules* AgentRulesLoading::Finish(Console& console, Console* diagnostics) {
  if (!pending_.valid()) return nullptr;
  const AgentRules* rules = pending_.get();
  if (builder_.joinable()) builder_.join();
  if (finished_) return rules;
  finished_ = true;
  if (rules == nullptr) {
    Fail(built_, console, diagnostics);
    return nullptr;
  }
  const RefusedExpressions& refused = rules->refused;
  if (refused.count != 0) {
    std::string text = regexesPath_ + ": " + std::to_string(refused.count) +
                       (refused.count == 1 ? " expression" : " expressions") +
                       " that RE2 cannot take skipped";
    for (size_t i = 0; i < refused.first.size(); ++i) {
      text += (i == 0 ? ": " : "; ") + refused.first[i];
    }
    Diagnostics(diagnostics).Reason(text);
  }
  return rules;
}

}  // namespace logvane
