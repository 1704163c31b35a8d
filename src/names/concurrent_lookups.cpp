#include "names/concurrent_lookups.h"

#include <memory>
#include <optional>

#include "names/lookup_worker.h"

namespace logvane {

namespace {

enum class Stage { kWaiting, kRunning, kEnded };

struct PlannedText {
  AddressPlan plan = AddressPlan::kCacheOnly;
  std::string_view cachedName;
  Stage stage = Stage::kWaiting;
  bool announced = false;
  std::shared_ptr<LookupJob> job;
  int64_t start = 0;
  std::optional<std::string> answer;
};

// One round of lookups over the texts: planned once, then settled in
// order while at most `limit` lookups run at a time.
class LookupRound {
 public:
  LookupRound(std::vector<std::string>& texts, int32_t threads, LookupContext& context)
      : texts_(texts),
        context_(context),
        limit_(threads < 1 ? 1 : static_cast<size_t>(threads)),
        planned_(texts.size()) {}

  // Every lookup, failed or not, adds one cache entry, so whether a text
  // still finds room is known before any lookup starts.
  void Plan() {
    size_t used = context_.cache.usedCount;
    for (size_t i = 0; i < texts_.size(); ++i) {
      planned_[i].plan =
          PlanAddress(context_.cache, context_.settings, texts_[i], used, &planned_[i].cachedName);
      if (planned_[i].plan == AddressPlan::kLookUp) {
        lookups_.push_back(i);
        ++used;
      }
    }
  }

  // Hands on, in order, every text whose answer is in; true once all are.
  bool Settle() {
    for (; settled_ < texts_.size(); ++settled_) {
      PlannedText& item = planned_[settled_];
      std::string& text = texts_[settled_];
      if (item.plan != AddressPlan::kLookUp) {
        ApplyWithoutLookup(item.plan, item.cachedName, text, context_);
        continue;
      }
      if (!item.announced) {
        AnnounceLookup(text, context_);
        item.announced = true;
      }
      if (item.stage != Stage::kEnded) return false;
      FinishLookup(item.answer, text, context_);
      item.answer.reset();
    }
    return true;
  }

  // Starts lookups while fewer than the limit run; false when none runs.
  bool StartMore() {
    while (running_.size() < limit_ && nextLookup_ < lookups_.size()) {
      size_t i = lookups_[nextLookup_++];
      PlannedText& item = planned_[i];
      if (Resolvable(texts_[i])) item.job = StartLookup(texts_[i], context_.env);
      if (!item.job) {
        item.stage = Stage::kEnded;  // never sent, or no thread: failed
        continue;
      }
      item.start = context_.env.NowSeconds();
      item.stage = Stage::kRunning;
      running_.push_back(i);
    }
    return !running_.empty();
  }

  // Waits one poll interval and ends the lookups answered or timed out.
  void Poll() {
    WaitPollInterval();
    int64_t now = context_.env.NowSeconds();
    size_t kept = 0;
    for (size_t i : running_) {
      PlannedText& item = planned_[i];
      LookupState state = PollLookup(*item.job, item.start, now, context_.settings.lookupTimeout);
      if (state == LookupState::kRunning) {
        running_[kept++] = i;
        continue;
      }
      if (state == LookupState::kAnswered) item.answer = std::move(item.job->name);
      // A lookup given up is let go of: its worker finishes into a job
      // that nobody reads.
      item.job.reset();
      item.stage = Stage::kEnded;
    }
    running_.resize(kept);
  }

 private:
  std::vector<std::string>& texts_;
  LookupContext& context_;
  const size_t limit_;
  std::vector<PlannedText> planned_;
  std::vector<size_t> lookups_;
  std::vector<size_t> running_;
  size_t settled_ = 0;     // texts before this one are done
  size_t nextLookup_ = 0;  // index into `lookups_` of the next to start
};

}  // namespace

void ResolveConcurrently(std::vector<std::string>& texts, int32_t threads, LookupContext& context) {
  LookupRound round(texts, threads, context);
  round.Plan();
  while (!round.Settle()) {
    if (round.StartMore()) round.Poll();
  }
}

}  // namespace logvane
