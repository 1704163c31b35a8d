// Where a tally came from: every input a state holds, by name, size,
// fingerprint, the span of its records' days and hours, and its source
// tag; and the run's record of them, which refuses an input counted
// already and warns of two inputs of one source that overlap in time.
#ifndef LOGVANE_STATE_PROVENANCE_H_
#define LOGVANE_STATE_PROVENANCE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "intake/input_chain.h"

namespace logvane {

struct InputOrigin {
  std::string name;    // as the run that read it was given it
  uint64_t bytes = 0;  // read, after decompression
  Fingerprint fingerprint;
  int64_t firstTime = 0;  // yyyymmddhh of its earliest counted record; 0 for none
  int64_t lastTime = 0;
  std::string source;  // SOURCE=, or the reading host's name
};

// "yyyy-mm-ddThh" for a yyyymmddhh time.
std::string TimeText(int64_t time);
// 32 hexadecimal digits, the high half first.
std::string FingerprintText(const Fingerprint& fingerprint);

// An input met before: its origin, and where the run met it ("log
// access.log", "state month.state").
struct KnownInput {
  InputOrigin origin;
  std::string place;
};

class RunInputs {
 public:
  // The first of `inputs` whose fingerprint the run holds already; an empty
  // input is never one (it adds nothing).
  std::optional<std::pair<const InputOrigin*, const KnownInput*>> FindCounted(
      const std::vector<InputOrigin>& inputs) const;
  // Earlier inputs of the same source whose spans overlap those of
  // `inputs`. Spans that only touch in one hour (a log rotated within it)
  // do not overlap; two equal spans do.
  std::vector<std::pair<const InputOrigin*, const KnownInput*>> Overlapping(
      const std::vector<InputOrigin>& inputs) const;
  void Add(const std::vector<InputOrigin>& inputs, const std::string& place);
  // Every input in the order met, for the run's own state.
  std::vector<InputOrigin> Origins() const;

 private:
  std::vector<KnownInput> known_;
};

}  // namespace logvane

#endif  // LOGVANE_STATE_PROVENANCE_H_
