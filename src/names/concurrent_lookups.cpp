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

}  // namespace

void ResolveConcurrently(std::vector<std::string>& texts, int32_t threads, LookupContext& context) {
  Env& env = context.env;
  const size_t limit = threads < 1 ? 1 : static_cast<size_t>(threads);

  // Every lookup, failed or not, adds one cache entry, so whether a text
  // still finds room is known before any lookup starts.
  std::vector<PlannedText> planned(texts.size());
  std::vector<size_t> lookups;
  size_t used = context.cache.usedCount;
  for (size_t i = 0; i < texts.size(); ++i) {
    planned[i].plan =
        PlanAddress(context.cache, context.settings, texts[i], used, &planned[i].cachedName);
    if (planned[i].plan == AddressPlan::kLookUp) {
      lookups.push_back(i);
      ++used;
    }
  }

  size_t settled = 0;     // texts before this one are done
  size_t nextLookup = 0;  // index into `lookups` of the next to start
  std::vector<size_t> running;
  for (;;) {
    while (settled < texts.size()) {
      PlannedText& item = planned[settled];
      std::string& text = texts[settled];
      if (item.plan != AddressPlan::kLookUp) {
        ApplyWithoutLookup(item.plan, item.cachedName, text, context);
        ++settled;
        continue;
      }
      if (!item.announced) {
        AnnounceLookup(text, context);
        item.announced = true;
      }
      if (item.stage != Stage::kEnded) break;
      FinishLookup(item.answer, text, context);
      item.answer.reset();
      ++settled;
    }
    if (settled == texts.size()) break;

    while (running.size() < limit && nextLookup < lookups.size()) {
      size_t i = lookups[nextLookup++];
      PlannedText& item = planned[i];
      if (Resolvable(texts[i])) item.job = StartLookup(texts[i], env);
      if (!item.job) {
        item.stage = Stage::kEnded;  // never sent, or no thread: failed
        continue;
      }
      item.start = env.NowSeconds();
      item.stage = Stage::kRunning;
      running.push_back(i);
    }
    if (running.empty()) continue;  // only settled texts to hand on

    WaitPollInterval();
    int64_t now = env.NowSeconds();
    size_t kept = 0;
    for (size_t i : running) {
      PlannedText& item = planned[i];
      LookupState state = PollLookup(*item.job, item.start, now, context.settings.lookupTimeout);
      if (state == LookupState::kRunning) {
        running[kept++] = i;
        continue;
      }
      if (state == LookupState::kAnswered) item.answer = std::move(item.job->name);
      // A lookup given up is let go of: its worker finishes into a job
      // that nobody reads.
      item.job.reset();
      item.stage = Stage::kEnded;
    }
    running.resize(kept);
  }
}

}  // namespace logvane
