// One reverse lookup on a thread of its own. POSIX offers no safe way to
// stop a thread, so a lookup that runs past its time-out is abandoned, not
// killed: it finishes on its own, into a result object that nobody reads
// any more. Each lookup has its own result, so a late answer can never
// reach a later lookup.
#ifndef LOGVANE_NAMES_LOOKUP_WORKER_H_
#define LOGVANE_NAMES_LOOKUP_WORKER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/env.h"

namespace logvane {

// Shared by the main thread and one worker. The worker writes `name`, then
// sets `done`; the main thread reads `name` only after it has seen `done`.
struct LookupJob {
  std::string address;              // set before the worker starts
  std::optional<std::string> name;  // the resolver's answer
  std::atomic<bool> done{false};
};

// Starts a worker, through `env`, that asks the Env's resolver for the name
// of `address`. None when no thread could be started. The worker holds its
// own references to the job and the resolver, so neither needs to outlive
// the caller's interest, nor the Env.
std::shared_ptr<LookupJob> StartLookup(const std::string& address, Env& env);

// The main thread's view of a lookup at one poll.
enum class LookupState { kRunning, kAnswered, kTimedOut };

// A lookup that has ended is answered; otherwise it is given up once the
// clock is more than `timeoutSeconds` past its start (so between timeout and
// timeout+1 whole seconds after it began; at the first poll when the
// time-out is negative).
LookupState PollLookup(const LookupJob& job, int64_t startSeconds, int64_t nowSeconds,
                       int32_t timeoutSeconds);

// The pause between two polls.
void WaitPollInterval();

}  // namespace logvane

#endif  // LOGVANE_NAMES_LOOKUP_WORKER_H_
