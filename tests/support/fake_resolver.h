// Fake reverse resolvers and clocks for the name-resolution tests. The
// resolvers run on lookup workers, which may outlive a test when a lookup
// is given up, so all state they touch is held through shared pointers.
#ifndef LOGVANE_TESTS_SUPPORT_FAKE_RESOLVER_H_
#define LOGVANE_TESTS_SUPPORT_FAKE_RESOLVER_H_

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <functional>
#include <thread>
#include <optional>
#include <string>
#include <vector>

#include "platform/resolver.h"

namespace logvane::testing {

// A latch that resolvers wait on until the test opens it.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// What a resolver was asked, and how many calls ran at once at most.
class ResolverLog {
 public:
  void Enter(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(address);
    ++inFlight_;
    maxInFlight_ = std::max(maxInFlight_, inFlight_);
  }
  void Leave() {
    std::lock_guard<std::mutex> lock(mutex_);
    --inFlight_;
  }
  std::vector<std::string> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  int maxInFlight() {
    std::lock_guard<std::mutex> lock(mutex_);
    return maxInFlight_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> calls_;
  int inFlight_ = 0;
  int maxInFlight_ = 0;
};

// How the fake answers one address.
struct FakeAnswer {
  std::optional<std::string> name;  // none: the resolver knows no name
  int delayMs = 0;                  // time taken before answering
  bool blocks = false;              // waits for the gate, then answers
};

// Answers from `answers`; an address not in it gets no name at once.
inline ReverseResolver ScriptedResolver(std::map<std::string, FakeAnswer> answers,
                                        std::shared_ptr<ResolverLog> log,
                                        std::shared_ptr<Gate> gate) {
  auto table = std::make_shared<const std::map<std::string, FakeAnswer>>(std::move(answers));
  return [table, log, gate](const std::string& address) -> std::optional<std::string> {
    log->Enter(address);
    FakeAnswer answer;
    auto it = table->find(address);
    if (it != table->end()) answer = it->second;
    if (answer.blocks) gate->Wait();
    if (answer.delayMs > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
    }
    log->Leave();
    return answer.name;
  };
}

// A clock that moves on by one second at every reading.
inline std::function<int64_t()> SteppingClock(std::shared_ptr<std::atomic<int64_t>> readings) {
  return [readings] { return readings->fetch_add(1); };
}

// A clock whose "seconds" last `unitMs` real milliseconds, so that time-out
// rules can be run at a fraction of their real cost.
inline std::function<int64_t()> ScaledClock(int unitMs) {
  auto origin = std::chrono::steady_clock::now();
  return [origin, unitMs] {
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - origin);
    return static_cast<int64_t>(elapsed.count() / unitMs) + 1000;
  };
}

}  // namespace logvane::testing

#endif  // LOGVANE_TESTS_SUPPORT_FAKE_RESOLVER_H_
