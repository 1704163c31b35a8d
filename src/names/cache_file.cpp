#include "names/cache_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/file_replacement.h"
#include "platform/resolver.h"

namespace logvane {

namespace {

// The loader reads a line in pieces of at most this many characters, the
// line end counted; the rest of a longer line is a line of its own. A line
// whose address is an IPv6 literal may run on by the extra width of its
// address.
constexpr size_t kLinePiece = 79;
constexpr size_t kIPv6LineExtra = kCacheAddressWidth - 15;
// An address that is not an IPv6 literal keeps the field width it always
// had.
constexpr size_t kIPv4AddressWidth = 15;

// Buffered bytes of the open file, with a carriage return directly before a
// newline taken as part of the line end. A read error ends the input.
class CacheFileReader {
 public:
  explicit CacheFileReader(SequentialFile& file) : file_(file) {}

  // Adds to `piece` the characters of the current line up to `limit`
  // characters, the line end counted but not stored. Gives the number of
  // characters taken (0 at the end of the file); `lineEnded` tells whether
  // the line end was among them.
  size_t Take(std::string* piece, size_t limit, bool* lineEnded) {
    *lineEnded = false;
    size_t taken = 0;
    while (taken < limit) {
      int c = Peek(0);
      if (c < 0) break;
      if (c == '\r' && Peek(1) == '\n') {
        ++next_;
        continue;
      }
      ++next_;
      ++taken;
      if (c == '\n') {
        *lineEnded = true;
        break;
      }
      piece->push_back(static_cast<char>(c));
    }
    return taken;
  }

  // The read error that ended the file early, if one did.
  const Status& failure() const { return failure_; }

 private:
  // The byte `ahead` places after the next one, or -1 past the end.
  int Peek(size_t ahead) {
    while (next_ + ahead >= size_) {
      if (!Fill()) return -1;
    }
    return static_cast<unsigned char>(buffer_[next_ + ahead]);
  }

  bool Fill() {
    if (ended_) return false;
    if (next_ > 0) {
      std::memmove(buffer_, buffer_ + next_, size_ - next_);
      size_ -= next_;
      next_ = 0;
    }
    size_t n = 0;
    Status s = file_.Read(buffer_ + size_, sizeof(buffer_) - size_, &n);
    if (!s.ok()) {
      failure_ = Status::FromErrno(s.sysError(), s.path()).At("byte " + std::to_string(read_));
    }
    if (!s.ok() || n == 0) {
      ended_ = true;
      return false;
    }
    size_ += n;
    read_ += n;
    return true;
  }

  SequentialFile& file_;
  Status failure_;
  uint64_t read_ = 0;  // bytes read so far
  char buffer_[1 << 16];
  size_t size_ = 0;
  size_t next_ = 0;
  bool ended_ = false;
};

// The address part of a piece, when it is an IPv6 literal.
bool HasIPv6Address(std::string_view piece) {
  size_t comma = piece.find(',');
  return comma != std::string_view::npos &&
         ClassifyAddressLiteral(piece.substr(0, comma)) == AddressFamily::kIPv6;
}

struct CacheRecord {
  std::string_view address;
  std::string_view name;
};

// The record a line holds, or none when the line does not pass.
std::optional<CacheRecord> ParseCacheLine(std::string_view line) {
  size_t comma = line.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  // A NUL byte belongs to no address and no host name.
  if (line.find('\0') != std::string_view::npos) return std::nullopt;
  std::string_view address = line.substr(0, comma);
  if (ClassifyAddressLiteral(address) != AddressFamily::kIPv6) {
    // The last of three dots, sought from the start of the whole line, must
    // be followed by a number from 1 to 255.
    size_t dot = std::string_view::npos;
    for (int i = 0; i < 3; ++i) {
      dot = line.find('.', dot == std::string_view::npos ? 0 : dot + 1);
      if (dot == std::string_view::npos) return std::nullopt;
    }
    int64_t lastByte = LeadingInteger(line.substr(dot + 1));
    if (lastByte > 255 || lastByte == 0) return std::nullopt;
    address = address.substr(0, kIPv4AddressWidth);
  }
  std::string_view name = line.substr(comma + 1);
  name = name.substr(0, std::min(name.size(), kCacheNameWidth));
  // A name that begins with its address is still an address; an empty name
  // would blank out the user it was meant to name.
  if (name.empty() || StartsWithFolded(name, address)) return std::nullopt;
  return CacheRecord{address, name};
}

bool BreaksRecord(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// Writes every record worth saving into a new file beside `target` and
// moves it into place; on a failure no trace of the new file stays.
Status ReplaceCacheFile(Env& env, const NameCache& cache, const std::string& path,
                        Console& console) {
  std::unique_ptr<FileReplacement> file;
  Status s = FileReplacement::Begin(env, path, &file);
  if (!s.ok()) return s;
  console.Line("...... new cache file created - writing records.");

  std::string chunk;
  chunk.reserve(1 << 16);
  for (size_t i = 0; i < kNameCacheCapacity; ++i) {
    const NameCacheEntry& entry = cache.entries[i];
    if (!WorthSaving(entry)) continue;
    chunk.append(entry.address.view());
    chunk.push_back(',');
    chunk.append(entry.name.view());
    chunk.push_back('\n');
    if (chunk.size() >= (1 << 16) - 128) {
      s = file->Write(chunk);
      if (!s.ok()) return s;
      chunk.clear();
    }
  }
  s = file->Write(chunk);
  return s.ok() ? file->Commit() : s;
}

}  // namespace

Status LoadNameCache(Env& env, NameCache& cache, const std::string& path, Console& console) {
  ClearNameCache(cache);
  std::unique_ptr<SequentialFile> file;
  Status s = env.OpenForReading(path, &file);
  if (!s.ok()) {
    console.Line("*NOTE* No previous IP names file found.");
    return s;
  }
  console.Line("...... IP names file opened - loading.");
  Status readFailure;
  {
    auto reader = std::make_unique<CacheFileReader>(*file);
    std::string piece;
    for (;;) {
      piece.clear();
      bool lineEnded = false;
      size_t taken = reader->Take(&piece, kLinePiece, &lineEnded);
      if (taken == 0) break;
      if (!lineEnded && taken == kLinePiece && HasIPv6Address(piece)) {
        reader->Take(&piece, kIPv6LineExtra, &lineEnded);
      }
      std::optional<CacheRecord> record = ParseCacheLine(piece);
      if (!record) continue;
      if (cache.loadedCount == kNameCacheCapacity) {
        constexpr ConstText kCacheFull =
            NumberedText("*ERROR* more than ", kNameCacheCapacity, " IP names in file");
        console.Line(kCacheFull.view());
        break;
      }
      NameCacheEntry& entry = cache.entries[cache.loadedCount++];
      entry.address.assign(record->address);
      entry.name.assign(record->name);
    }
    readFailure = reader->failure();
  }
  file.reset();
  cache.usedCount = cache.loadedCount;
  console.Write("...... IP name file closed.  ");
  console.WriteNumber(static_cast<int64_t>(cache.loadedCount));
  console.Write(" records loaded.\n\n");
  console.Line("sorting cache...");
  console.Flush();
  SortLoadedPart(cache);
  return readFailure;
}

bool WorthSaving(const NameCacheEntry& entry) {
  std::string_view address = entry.address.view();
  std::string_view name = entry.name.view();
  if (address.empty() || name.empty()) return false;
  // A failed lookup keeps its address as its name.
  if (IsDigit(name.back()) || StartsWithFolded(name, address)) return false;
  for (char c : address) {
    if (BreaksRecord(c) || c == ',') return false;
  }
  for (char c : name) {
    if (BreaksRecord(c)) return false;
  }
  return true;
}

Status SaveNameCache(Env& env, const NameCache& cache, const std::string& path, Console& console) {
  Status s = ReplaceCacheFile(env, cache, path, console);
  if (!s.ok()) console.Line("*WARNING* cannot create cache file.");
  return s;
}

}  // namespace logvane
