#include "names/cache_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

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
  explicit CacheFileReader(int fd) : fd_(fd) {}

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
    for (;;) {
      ssize_t n = ::read(fd_, buffer_ + size_, sizeof(buffer_) - size_);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ended_ = true;
        return false;
      }
      size_ += static_cast<size_t>(n);
      return true;
    }
  }

  int fd_;
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

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool BreaksRecord(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// The file that is really replaced: a cache file reached through a link is
// rewritten where the link points, and the link stays.
std::string ReplacedPath(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Writes every record worth saving into a new file beside `target` and
// moves it into place; false (and no trace of the new file) on failure.
bool ReplaceCacheFile(const NameCache& cache, const std::string& target, Console& console) {
  // An old file that this user may not write is kept as it is.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return false;
  std::string fresh = target + "." + std::to_string(::getpid()) + ".new";
  int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left behind by a run that was stopped while saving.
    ::unlink(fresh.c_str());
    fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) return false;
  console.Line("...... new cache file created - writing records.");
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);

  bool ok = true;
  std::string chunk;
  chunk.reserve(1 << 16);
  for (size_t i = 0; i < kNameCacheCapacity && ok; ++i) {
    const NameCacheEntry& entry = cache.entries[i];
    if (!WorthSaving(entry)) continue;
    chunk.append(entry.address.view());
    chunk.push_back(',');
    chunk.append(entry.name.view());
    chunk.push_back('\n');
    if (chunk.size() >= (1 << 16) - 128) {
      ok = WriteAll(fd, chunk);
      chunk.clear();
    }
  }
  if (ok) ok = WriteAll(fd, chunk);
  if (ok && ::fsync(fd) != 0 && errno != EINVAL) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(fresh.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(fresh.c_str());
    return false;
  }
  // So that the new name survives a crash as well; not needed for the run.
  int directory = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    (void)::fsync(directory);
    ::close(directory);
  }
  return true;
}

}  // namespace

void LoadNameCache(NameCache& cache, const std::string& path, Console& console) {
  ClearNameCache(cache);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  // A directory opens here, but holds no records to read.
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode))) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    console.Line("*NOTE* No previous IP names file found.");
    return;
  }
  console.Line("...... IP names file opened - loading.");
  {
    auto reader = std::make_unique<CacheFileReader>(fd);
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
        console.Line("*ERROR* more than 64000 IP names in file");
        break;
      }
      NameCacheEntry& entry = cache.entries[cache.loadedCount++];
      entry.address.assign(record->address);
      entry.name.assign(record->name);
    }
  }
  ::close(fd);
  cache.usedCount = cache.loadedCount;
  console.Write("...... IP name file closed.  ");
  console.WriteNumber(static_cast<int64_t>(cache.loadedCount));
  console.Write(" records loaded.\n\n");
  console.Line("sorting cache...");
  console.Flush();
  SortLoadedPart(cache);
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

void SaveNameCache(const NameCache& cache, const std::string& path, Console& console) {
  if (!ReplaceCacheFile(cache, ReplacedPath(path), console)) {
    console.Line("*WARNING* cannot create cache file.");
  }
}

}  // namespace logvane
