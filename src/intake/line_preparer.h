// What a thread that prepares lines keeps from one line to the next: the
// parser of a configured format (none for the marker parser) and whatever
// else a counted field needs per thread, made once when the thread starts:
// under AGENTS its cache of classified agents, made when its first agent
// comes (the rules may still be loading until then).
// Every thread that prepares lines (the workers, and the routing thread
// when it prepares) has its own; what they give depends on the line alone.
#ifndef LOGVANE_INTAKE_LINE_PREPARER_H_
#define LOGVANE_INTAKE_LINE_PREPARER_H_

#include <cstddef>
#include <memory>
#include <optional>

#include "intake/format_parser.h"
#include "intake/line_router.h"
#include "intake/log_format.h"
#include "intake/log_reader.h"

namespace logvane {

class LinePreparer {
 public:
  LinePreparer(const LineRules& rules, const LogFormat& format);

  // Whether preparing decodes texts into a store (a configured format).
  bool decodes() const { return parser_.has_value(); }

  // Parses and plans `piece` into `p`. Texts a configured format decodes go
  // to `store`, which has kRecordTextWidth bytes free; gives the bytes taken
  // there (at most twice the piece's length plus 3). A piece that filled
  // its width is longer than a configured format reads: refused whole.
  size_t Prepare(const LinePiece& piece, char* store, PreparedLine& p);

  // Before the lines of a block: the line before is no longer at hand.
  void StartBlock() { lastAgent_ = nullptr; }

 private:
  // The classification of `p`'s user agent, or nullptr.
  const AgentInfo* Classify(PreparedLine& p);

  const LineRules& rules_;
  std::optional<FormatParser> parser_;
  PendingAgentRules agentsPending_;  // this thread's own copy, as a shared future wants
  const AgentRules* agentRules_ = nullptr;
  std::unique_ptr<AgentCache> agentCache_;
  bool agentsAsked_ = false;  // whether the rules were waited for
  // The line before in this block when it had a classified agent: a visit
  // is a run of lines of one agent, whose classification it passes on
  // without hashing the agent or looking it up again.
  const PreparedLine* lastAgent_ = nullptr;
};

}  // namespace logvane

#endif  // LOGVANE_INTAKE_LINE_PREPARER_H_
