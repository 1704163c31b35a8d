// The inputs of a run read as one log: every file opened before any is
// read, each decompressed on its own when it is gzip, their bytes handed on
// one input after the other, so the log is their concatenation. The chain
// counts the bytes it takes from the inputs themselves (compressed bytes
// for gzip), for the progress line, and keeps a record of each input.
#ifndef LOGVANE_INTAKE_INPUT_CHAIN_H_
#define LOGVANE_INTAKE_INPUT_CHAIN_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/status.h"
#include "intake/log_source.h"
#include "platform/byte_input.h"
#include "platform/env.h"

namespace logvane {

// XXH3-128 of an input's bytes as the reader gets them (after
// decompression, so that a log and its .gz copy are the same input).
struct Fingerprint {
  uint64_t high = 0;
  uint64_t low = 0;
  bool operator==(const Fingerprint&) const = default;
};

// One input as the chain knows it.
struct InputRecord {
  std::string name;        // as given ("-" for standard input)
  uint64_t size = 0;       // of the file when it was opened; 0 for a pipe
  bool sized = false;      // a regular file, whose size is known
  uint64_t bytesRead = 0;  // taken from it so far (compressed bytes for gzip)
  bool finished = false;   // read to its end
  // With FingerprintInputs: the bytes handed on (after decompression) and,
  // once the input is finished, their fingerprint.
  uint64_t contentBytes = 0;
  Fingerprint fingerprint;
};

// Told where one input ends and the next begins, on the thread that reads.
class InputObserver {
 public:
  virtual ~InputObserver() = default;
  virtual void InputBegins(const InputRecord& input) = 0;
  virtual void InputEnds(const InputRecord& input) = 0;
};

class InputChain : public LogSource {
 public:
  // Reads `inputs` in order; standard input, if named, through `input`.
  Status Read(char* buffer, size_t size, size_t* got) override;

  const std::vector<InputRecord>& inputs() const { return records_; }
  // The input being read (the one that failed, after a read error).
  const InputRecord& current() const;
  // Bytes taken from the inputs so far, raised by the reading thread.
  const std::atomic<uint64_t>& bytesRead() const { return bytesRead_; }
  // The inputs' whole size; 0 when any of them is a pipe.
  uint64_t totalBytes() const;

  void SetObserver(InputObserver* observer) { observer_ = observer; }

  // Before anything is read: every input's bytes are fingerprinted as they
  // are handed on.
  void FingerprintInputs();
  // Before anything is read: Read gives the end (0) at the end of each
  // input, and goes on to the next only once NextInput is called.
  void ReadOneAtATime() { oneAtATime_ = true; }
  // Moves on to the next input after the end of one; false when none is
  // left. The input about to be read is then inputs()[position()].
  bool NextInput();
  size_t position() const { return next_; }

 private:
  friend Status OpenInputChain(Env&, const std::vector<std::string>&, ByteInput&,
                               std::unique_ptr<InputChain>*, std::string*);
  class Counted;
  class Fingerprinted;

  std::vector<InputRecord> records_;
  std::vector<std::unique_ptr<LogSource>> sources_;  // each decompressed when gzip
  size_t next_ = 0;                                  // the input being read
  bool begun_ = false;
  std::atomic<uint64_t> bytesRead_{0};
  InputObserver* observer_ = nullptr;
  bool oneAtATime_ = false;
  bool paused_ = false;  // an input ended; NextInput not called yet
};

// Opens every input named, in order, through `env` before any is read.
// "-" is standard input (`input`). The first that cannot be opened gives
// its Status (its name as the path); `failed` then holds the name.
Status OpenInputChain(Env& env, const std::vector<std::string>& names, ByteInput& input,
                      std::unique_ptr<InputChain>* chain, std::string* failed = nullptr);

// The files of the logrotate set of `base`, oldest first: BASE.N.gz and
// BASE.N by falling number (numbers compared as numbers; a plain file
// wins over a .gz of the same number, which logrotate is still writing),
// then dateext's BASE-YYYYMMDD and BASE-YYYYMMDD.gz by date, then BASE
// itself. A set with no file at all is refused.
Status RotatedSet(Env& env, const std::string& base, std::vector<std::string>* files);

// Whether a log name asks for a rotated set (INFILE=BASE*, --rotated):
// then `base` is the name without its star.
bool IsRotatedSetName(Env& env, const std::string& name, std::string* base);

}  // namespace logvane

#endif  // LOGVANE_INTAKE_INPUT_CHAIN_H_
