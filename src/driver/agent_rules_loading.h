// The rules that classify user agents (AGENTS, BOTS), made ready for the
// reading phase. The files are read and parsed before the log is opened, so
// a missing or broken one is named at once; compiling uap-core's expressions
// (the costly part) runs on a thread of its own while the log starts to be
// read, and each reading thread waits for it only when its first agent
// comes. A file that cannot be used is reported on the console and, with
// its path and reason, on standard error; the run goes on without the
// user-agent sections.
#ifndef LOGVANE_DRIVER_AGENT_RULES_LOADING_H_
#define LOGVANE_DRIVER_AGENT_RULES_LOADING_H_

#include <memory>
#include <string>
#include <thread>

#include "agents/agent_classifier.h"
#include "agents/uap_regexes.h"
#include "common/status.h"
#include "config/run_settings.h"
#include "intake/line_router.h"
#include "platform/console.h"
#include "platform/env.h"
#include "state/state_settings.h"

namespace logvane {

// Reads and parses the files `settings` names (AGENTS, BOTS) as a run does,
// into `regexes` and the crawlers of `rules`, leaving the compiling to
// the run; Unsupported when this build cannot classify. `marks`, when
// given, takes the fingerprints of what was read.
Status ReadAgentFiles(Env& env, const RunSettings& settings, UapRegexes* regexes, AgentRules* rules,
                      AgentRulesMarks* marks = nullptr);

class AgentRulesLoading {
 public:
  AgentRulesLoading() = default;
  ~AgentRulesLoading();
  AgentRulesLoading(const AgentRulesLoading&) = delete;
  AgentRulesLoading& operator=(const AgentRulesLoading&) = delete;

  // Reads the files `settings` names and starts compiling. Nothing happens
  // without AGENTS; a failure is reported through `console` and
  // `diagnostics` (which may be null) and leaves pending() not valid.
  void Start(Env& env, const RunSettings& settings, Console& console, Console* diagnostics);

  // What the reading phase waits on; not valid when nothing is loading.
  PendingAgentRules pending() const { return pending_; }

  // What the rules were read from, for a state's settings; empty when
  // nothing is loading.
  const AgentRulesMarks& marks() const { return marks_; }

  // Waits for the compiling to end and reports once what it refused or
  // why it failed. The rules, or nullptr.
  const AgentRules* Finish(Console& console, Console* diagnostics);

 private:
  void Fail(const Status& status, Console& console, Console* diagnostics);

  std::unique_ptr<AgentRules> rules_;
  std::unique_ptr<UapRegexes> regexes_;
  std::string regexesPath_;
  Status built_;
  std::thread builder_;
  PendingAgentRules pending_;
  AgentRulesMarks marks_;
  bool finished_ = false;
};

}  // namespace logvane

#endif  // LOGVANE_DRIVER_AGENT_RULES_LOADING_H_
