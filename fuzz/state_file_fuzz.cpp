// Any bytes as a stream of state files. Decoding must end with a state or a
// fault, never a crash; a state that decoded must encode back to the very
// bytes it came from (where it skipped no later section), and merged into
// an empty tally it must give the same tables again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "intake/log_source.h"
#include "state/state_codec.h"
#include "state/state_format.h"
#include "state/state_merge.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

class BytesSource : public logvane::LogSource {
 public:
  BytesSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  logvane::Status Read(char* buffer, size_t size, size_t* got) override {
    // Short reads, as a pipe gives them.
    size_t n = std::min({size, size_ - at_, size_t{4093}});
    if (n != 0) std::memcpy(buffer, data_ + at_, n);
    at_ += n;
    *got = n;
    return logvane::Status::Ok();
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct Tally {
  logvane::Tallies tallies;
  logvane::RunCounters counters;
};

Tally* NewTally() {
  void* memory = std::calloc(1, sizeof(Tally));
  Check(memory != nullptr);
  return new (memory) Tally;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Tally* decoded = NewTally();
  static Tally* merged = NewTally();
  BytesSource source(data, size);
  logvane::StateStream stream(source, "fuzz.state");
  for (int states = 0; states < 4; ++states) {
    const uint64_t start = stream.offset();
    bool atEnd = false;
    logvane::StateFacts facts;
    logvane::Status status =
        logvane::DecodeState(stream, decoded->tallies, decoded->counters, &facts, &atEnd);
    if (!status.ok()) {
      Check(!status.where().empty());
      return 0;
    }
    if (atEnd) return 0;
    const std::string encoded = logvane::EncodeState(decoded->tallies, decoded->counters, facts);
    if (facts.skippedSections == 0 && facts.minorVersion == logvane::kStateMinorVersion) {
      Check(encoded.size() == stream.offset() - start);
      Check(std::memcmp(encoded.data(), data + start, encoded.size()) == 0);
    }
    logvane::ResetTally(merged->tallies, merged->counters);
    logvane::MergeDrops drops;
    logvane::MergeTally(decoded->tallies, decoded->counters, merged->tallies, merged->counters,
                        &drops);
    merged->counters = decoded->counters;
    Check(logvane::EncodeState(merged->tallies, merged->counters, facts) == encoded);
  }
  return 0;
}
