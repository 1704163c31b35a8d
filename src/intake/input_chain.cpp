#include "intake/input_chain.h"

#include <algorithm>
#include <new>

#include <xxhash.h>

#include "common/ascii_text.h"
#include "intake/gzip_source.h"

namespace logvane {

// An input's own bytes, counted into its record and the chain's total
// before they are decompressed.
class InputChain::Counted : public LogSource {
 public:
  Counted(std::unique_ptr<LogSource> raw, InputRecord& record, std::atomic<uint64_t>& total)
      : raw_(std::move(raw)), record_(record), total_(total) {}
  Status Read(char* buffer, size_t size, size_t* got) override {
    Status s = raw_->Read(buffer, size, got);
    if (*got > 0) {
      record_.bytesRead += *got;
      total_.fetch_add(*got, std::memory_order_relaxed);
    }
    return s;
  }

 private:
  std::unique_ptr<LogSource> raw_;
  InputRecord& record_;
  std::atomic<uint64_t>& total_;
};

// An input's bytes after decompression, hashed as they pass on the
// reading thread; the digest goes to the record at the input's end.
class InputChain::Fingerprinted : public LogSource {
 public:
  Fingerprinted(std::unique_ptr<LogSource> inner, InputRecord& record)
      : inner_(std::move(inner)), record_(record), state_(XXH3_createState()) {
    if (state_ == nullptr) throw std::bad_alloc();
    XXH3_128bits_reset(state_);
  }
  ~Fingerprinted() override { XXH3_freeState(state_); }
  Status Read(char* buffer, size_t size, size_t* got) override {
    Status s = inner_->Read(buffer, size, got);
    if (*got > 0) {
      XXH3_128bits_update(state_, buffer, *got);
      record_.contentBytes += *got;
    } else if (s.ok()) {
      // The end: only a whole input has a fingerprint.
      XXH128_hash_t digest = XXH3_128bits_digest(state_);
      record_.fingerprint = Fingerprint{digest.high64, digest.low64};
    }
    return s;
  }

 private:
  std::unique_ptr<LogSource> inner_;
  InputRecord& record_;
  XXH3_state_t* state_;
};

void InputChain::FingerprintInputs() {
  for (size_t i = 0; i < sources_.size(); ++i) {
    sources_[i] = std::make_unique<Fingerprinted>(std::move(sources_[i]), records_[i]);
  }
}

bool InputChain::NextInput() {
  paused_ = false;
  return next_ < sources_.size();
}

Status InputChain::Read(char* buffer, size_t size, size_t* got) {
  *got = 0;
  if (paused_) return Status::Ok();
  while (next_ < sources_.size()) {
    InputRecord& record = records_[next_];
    if (!begun_) {
      begun_ = true;
      if (observer_ != nullptr) observer_->InputBegins(record);
    }
    Status s = sources_[next_]->Read(buffer, size, got);
    // Bytes, or a read error that ends the log (after the bytes before it).
    if (!s.ok() || *got != 0) return s;
    record.finished = true;
    if (observer_ != nullptr) observer_->InputEnds(record);
    sources_[next_].reset();  // closes it
    ++next_;
    begun_ = false;
    if (oneAtATime_) {
      paused_ = true;
      return Status::Ok();
    }
  }
  return Status::Ok();
}

const InputRecord& InputChain::current() const {
  return records_[std::min(next_, records_.size() - 1)];
}

uint64_t InputChain::totalBytes() const {
  uint64_t total = 0;
  for (const InputRecord& r : records_) {
    if (!r.sized) return 0;
    total += r.size;
  }
  return total;
}

Status OpenInputChain(Env& env, const std::vector<std::string>& names, ByteInput& input,
                      std::unique_ptr<InputChain>* out, std::string* failed) {
  auto chain = std::make_unique<InputChain>();
  // The records stay where they are: the counted sources point at them.
  chain->records_.resize(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    InputRecord& record = chain->records_[i];
    record.name = names[i];
    std::unique_ptr<LogSource> raw;
    if (IsStandardInputName(names[i])) {
      raw = LogFromInput(input);
    } else {
      Status opened = OpenLogFile(env, names[i], &raw);
      if (!opened.ok()) {
        if (failed != nullptr) *failed = names[i];
        return opened;
      }
      FileInfo info;
      if (env.Stat(names[i], &info).ok() && info.kind == FileKind::kRegular) {
        record.sized = true;
        record.size = info.size;
      }
    }
    chain->sources_.push_back(DecompressIfGzip(
        std::make_unique<InputChain::Counted>(std::move(raw), record, chain->bytesRead_)));
  }
  *out = std::move(chain);
  return Status::Ok();
}

bool IsRotatedSetName(Env& env, const std::string& name, std::string* base) {
  if (name.size() < 2 || name.back() != '*') return false;
  // A file that is really named so is read as it is.
  FileInfo info;
  if (env.Stat(name, &info).ok()) return false;
  *base = name.substr(0, name.size() - 1);
  return true;
}

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// Digits compared as the numbers they write, however long.
bool NumberLess(std::string_view a, std::string_view b) {
  while (a.size() > 1 && a[0] == '0') a.remove_prefix(1);
  while (b.size() > 1 && b[0] == '0') b.remove_prefix(1);
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

struct Rotated {
  std::string name;
  std::string key;  // the number or the date
  bool dated = false;
  bool compressed = false;
};

}  // namespace

Status RotatedSet(Env& env, const std::string& base, std::vector<std::string>* files) {
  files->clear();
  size_t slash = base.rfind('/');
  std::string directory = slash == std::string::npos ? "." : base.substr(0, slash + 1);
  std::string stem = slash == std::string::npos ? base : base.substr(slash + 1);
  std::string prefix = slash == std::string::npos ? "" : directory;
  if (stem.empty()) return Status::Invalid(base + "*", "", "a rotated set needs a file name");
  std::vector<std::string> children;
  Status listed = env.GetChildren(directory, &children);
  if (!listed.ok()) return listed;
  std::vector<Rotated> found;
  bool live = false;
  for (const std::string& child : children) {
    std::string_view name = child;
    if (name == stem) {
      live = true;
      continue;
    }
    if (name.size() <= stem.size() + 1 || name.substr(0, stem.size()) != stem) continue;
    std::string_view rest = name.substr(stem.size());
    Rotated r;
    r.name = prefix + std::string(name);
    if (rest.ends_with(".gz")) {
      r.compressed = true;
      rest.remove_suffix(3);
    }
    if (rest[0] == '.' && AllDigits(rest.substr(1))) {
      r.key = rest.substr(1);
    } else if (rest[0] == '-' && rest.size() == 9 && AllDigits(rest.substr(1))) {
      r.key = rest.substr(1);
      r.dated = true;
    } else {
      continue;
    }
    found.push_back(std::move(r));
  }
  // Oldest first: high numbers before low ones, early dates before late.
  std::sort(found.begin(), found.end(), [](const Rotated& a, const Rotated& b) {
    if (a.dated != b.dated) return !a.dated;
    if (a.key != b.key) return a.dated ? a.key < b.key : NumberLess(b.key, a.key);
    return !a.compressed && b.compressed;  // the plain one first
  });
  for (size_t i = 0; i < found.size(); ++i) {
    const Rotated& r = found[i];
    // BASE.2 and BASE.2.gz side by side: logrotate is compressing the one
    // into the other, and the plain file is the whole one.
    if (i > 0 && found[i - 1].dated == r.dated && found[i - 1].key == r.key) continue;
    files->push_back(r.name);
  }
  if (live) files->push_back(base);
  if (files->empty()) {
    return Status::Invalid(
        base + "*", "",
        "no file is " + stem + ", " + stem + ".N[.gz] or " + stem + "-YYYYMMDD[.gz]");
  }
  return Status::Ok();
}

}  // namespace logvane
