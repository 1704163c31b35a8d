#include "names/lookup_worker.h"

#include <chrono>
#include <thread>

namespace logvane {

std::shared_ptr<LookupJob> StartLookup(const std::string& address, Env& env) {
  auto job = std::make_shared<LookupJob>();
  job->address = address;
  std::thread worker;
  Status s = env.StartThread(
      [job, resolver = env.Resolver()] {
        std::optional<std::string> name;
        try {
          name = resolver(job->address);
        } catch (...) {
          // A resolver that throws found no name.
          name.reset();
        }
        job->name = std::move(name);
        job->done.store(true, std::memory_order_release);
      },
      &worker);
  if (!s.ok()) return nullptr;
  worker.detach();
  return job;
}

LookupState PollLookup(const LookupJob& job, int64_t startSeconds, int64_t nowSeconds,
                       int32_t timeoutSeconds) {
  if (job.done.load(std::memory_order_acquire)) return LookupState::kAnswered;
  if (nowSeconds - startSeconds > static_cast<int64_t>(timeoutSeconds)) {
    return LookupState::kTimedOut;
  }
  return LookupState::kRunning;
}

void WaitPollInterval() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

}  // namespace logvane
