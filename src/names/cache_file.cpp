#include "names/cache_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/file_io.h"
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
  CacheFileReader(int fd, const FileCalls& calls) : fd_(fd), calls_(calls) {}

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
    ssize_t n = ReadSome(fd_, buffer_ + size_, sizeof(buffer_) - size_, calls_);
    if (n <= 0) {
      ended_ = true;
      return false;
    }
    size_ += static_cast<size_t>(n);
    return true;
  }

  int fd_;
  const FileCalls& calls_;
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
// moves it into place; the errno value of the failure (and no trace of the
// new file), or 0.
int ReplaceCacheFile(const NameCache& cache, const std::string& path, Console& console,
                     const FileCalls& calls) {
  std::unique_ptr<FileReplacement> file = FileReplacement::Begin(path, calls);
  if (!file) return errno != 0 ? errno : EIO;
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
      if (!file->Write(chunk)) return file->error();
      chunk.clear();
    }
  }
  if (file->Write(chunk) && file->Commit()) return 0;
  return file->error() != 0 ? file->error() : EIO;
}

}  // namespace

int LoadNameCache(NameCache& cache, const std::string& path, Console& console,
                  const FileCalls& calls) {
  ClearNameCache(cache);
  int fd = OpenFileForReading(path);
  if (fd < 0) {
    int error = errno;
    console.Line("*NOTE* No previous IP names file found.");
    return error;
  }
  console.Line("...... IP names file opened - loading.");
  {
    auto reader = std::make_unique<CacheFileReader>(fd, calls);
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
  }
  CloseFile(fd);
  cache.usedCount = cache.loadedCount;
  console.Write("...... IP name file closed.  ");
  console.WriteNumber(static_cast<int64_t>(cache.loadedCount));
  console.Write(" records loaded.\n\n");
  console.Line("sorting cache...");
  console.Flush();
  SortLoadedPart(cache);
  return 0;
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

int SaveNameCache(const NameCache& cache, const std::string& path, Console& console,
                  const FileCalls& calls) {
  int error = ReplaceCacheFile(cache, path, console, calls);
  if (error != 0) console.Line("*WARNING* cannot create cache file.");
  return error;
}

}  // namespace logvane
