#include "intake/line_preparer.h"

namespace logvane {

LinePreparer::LinePreparer(const LineRules& rules, const LogFormat& format)
    : rules_(rules), agentsPending_(rules.agents) {
  if (format.kind != FormatKind::kMarkers) parser_.emplace(format);
}

size_t LinePreparer::Prepare(const LinePiece& piece, char* store, PreparedLine& p) {
  size_t used = 0;
  if (!parser_) {
    ParseLogLine(piece.text, rules_.format, p.record);
    if (rules_.format.readClock) ReadBracketClock(p.record);
  } else if (piece.full) {
    BeginRecord(p.record, piece.text);
    p.record.bracketFault = LineFault::kTooLong;
  } else {
    used = parser_->ParseInto(piece.text, rules_.format, p.record, store);
  }
  p.agent = Classify(p);
  lastAgent_ = p.agent != nullptr ? &p : nullptr;
  PlanLine(rules_, p);
  return used;
}

const AgentInfo* LinePreparer::Classify(PreparedLine& p) {
  const LogRecord& r = p.record;
  if (!r.hasUserAgent || r.bracketFault != LineFault::kNone || !r.selected) return nullptr;
  if (!agentsAsked_) {
    agentsAsked_ = true;
    if (agentsPending_.valid()) agentRules_ = agentsPending_.get();
    if (agentRules_ != nullptr) agentCache_ = std::make_unique<AgentCache>(*agentRules_);
  }
  if (agentCache_ == nullptr) return nullptr;
  const PreparedLine* last = lastAgent_;
  if (last != nullptr && last->record.userAgent == r.userAgent) {
    p.sameAgent = true;
    p.agentHash = last->agentHash;
    p.agentOperator = last->agentOperator;
    return last->agent;
  }
  p.sameAgent = false;
  p.agentHash = AgentTextHash(r.userAgent);
  const AgentInfo& who = agentCache_->Classify(r.userAgent, p.agentHash, &p.agentScratch);
  p.agentOperator = AgentOperator(*agentRules_, who);
  return &who;
}

}  // namespace logvane
