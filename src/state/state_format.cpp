#include "state/state_format.h"

#include <algorithm>
#include <cstring>

#include <xxhash.h>

#include "platform/diagnostics.h"

namespace logvane {

namespace {

void PutLittle(std::string* out, uint64_t v, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

uint64_t GetLittle(const char* p, size_t bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  return v;
}

}  // namespace

void PayloadWriter::U32(uint32_t v) { PutLittle(&bytes_, v, 4); }
void PayloadWriter::U64(uint64_t v) { PutLittle(&bytes_, v, 8); }
void PayloadWriter::F64(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof(bits));
  U64(bits);
}
void PayloadWriter::Text(std::string_view text) {
  U32(static_cast<uint32_t>(text.size()));
  bytes_.append(text);
}

void AppendStateHeader(std::string* out) {
  out->append(kStateMagic);
  PutLittle(out, kStateMajorVersion, 2);
  PutLittle(out, kStateMinorVersion, 2);
  PutLittle(out, kByteOrderMark, 4);
}

void AppendSection(std::string* out, uint32_t kind, uint32_t flags, std::string_view payload) {
  PutLittle(out, kind, 4);
  PutLittle(out, flags, 4);
  PutLittle(out, payload.size(), 8);
  out->append(payload);
  PutLittle(out, XXH3_64bits(payload.data(), payload.size()), 8);
}

void AppendEndSection(std::string* out) { AppendSection(out, kEndSection, 0, {}); }

Status StateFault(std::string_view file, uint64_t offset, const std::string& reason) {
  return Status::Corrupt(std::string(file), "byte " + std::to_string(offset), reason);
}

std::string StateFaultText(const Status& status) {
  std::string text = Visible(status.path().empty() ? "(standard input)" : status.path(), 200);
  if (!status.where().empty()) text += ": " + status.where();
  return text + ": " + status.Reason();
}

bool PayloadReader::Take(size_t n, const char** at) {
  last_ = at_;
  if (!status_.ok()) return false;
  if (payload_.size() - at_ < n) {
    Fail("the section ends inside a value");
    return false;
  }
  *at = payload_.data() + at_;
  at_ += n;
  return true;
}

uint8_t PayloadReader::U8() {
  const char* p = nullptr;
  return Take(1, &p) ? static_cast<uint8_t>(*p) : 0;
}

bool PayloadReader::Bool() {
  uint8_t v = U8();
  if (v > 1) Fail("a flag is " + std::to_string(v) + ", not 0 or 1");
  return v == 1;
}

uint32_t PayloadReader::U32() {
  const char* p = nullptr;
  return Take(4, &p) ? static_cast<uint32_t>(GetLittle(p, 4)) : 0;
}

uint64_t PayloadReader::U64() {
  const char* p = nullptr;
  return Take(8, &p) ? GetLittle(p, 8) : 0;
}

double PayloadReader::F64() {
  uint64_t bits = U64();
  double v = 0;
  std::memcpy(&v, &bits, sizeof(v));
  return v;
}

std::string_view PayloadReader::Text(size_t width) {
  uint32_t size = U32();
  size_t start = last_;
  if (!status_.ok()) return {};
  if (size > width) {
    Fail("a text of " + std::to_string(size) + " bytes, more than the " + std::to_string(width) +
         " it may have");
    return {};
  }
  const char* p = nullptr;
  if (!Take(size, &p)) return {};
  last_ = start;
  return std::string_view(p, size);
}

uint64_t PayloadReader::Count(size_t itemBytes, uint64_t most) {
  uint64_t n = U64();
  if (!status_.ok()) return 0;
  if (n > most) {
    Fail("a count of " + std::to_string(n) + ", more than the " + std::to_string(most) +
         " there can be");
    return 0;
  }
  if (itemBytes != 0 && n > (payload_.size() - at_) / itemBytes) {
    Fail("a count of " + std::to_string(n) + " items, more than the section holds");
    return 0;
  }
  return n;
}

void PayloadReader::Fail(const std::string& reason) {
  if (status_.ok()) status_ = StateFault(file_, base_ + last_, reason);
}

void PayloadReader::ExpectEnd() {
  if (!status_.ok() || at_ == payload_.size()) return;
  last_ = at_;
  Fail(std::to_string(payload_.size() - at_) + " bytes after the section's last value");
}

Status StateStream::Fill(size_t n, std::string* out, bool* complete) {
  out->clear();
  while (out->size() < n) {
    // Large sections grow as their bytes arrive: a length that lies costs
    // no more memory than the bytes there are.
    size_t want = std::min<size_t>(n - out->size(), size_t{1} << 20);
    size_t had = out->size();
    out->resize(had + want);
    size_t got = 0;
    Status read = source_.Read(out->data() + had, want, &got);
    if (!read.ok()) {
      out->resize(had);
      const uint64_t at = offset_ + had + got;
      if (read.sysError() == 0) return StateFault(name_, at, "the data cannot be read");
      return Status::FromErrno(read.sysError(), name_, "cannot read at byte " + std::to_string(at));
    }
    out->resize(had + got);
    if (got == 0) break;
  }
  *complete = out->size() == n;
  offset_ += out->size();
  return Status::Ok();
}

Status StateStream::ReadHeader(bool* atEnd) {
  *atEnd = false;
  stateOffset_ = offset_;
  std::string header;
  bool complete = false;
  if (Status s = Fill(kStateHeaderSize, &header, &complete); !s.ok()) return s;
  if (header.empty()) {
    *atEnd = true;
    return Status::Ok();
  }
  const uint64_t at = stateOffset_;
  size_t magicSeen = std::min(header.size(), kStateMagic.size());
  if (header.compare(0, magicSeen, kStateMagic.substr(0, magicSeen)) != 0) {
    return StateFault(name_, at, "not a Logvane state file (no state begins here)");
  }
  if (!complete)
    return StateFault(name_, at + header.size(), "the state is cut short in its header");
  uint16_t major = static_cast<uint16_t>(GetLittle(header.data() + 8, 2));
  uint16_t minor = static_cast<uint16_t>(GetLittle(header.data() + 10, 2));
  uint32_t order = static_cast<uint32_t>(GetLittle(header.data() + 12, 4));
  if (order != kByteOrderMark) {
    uint32_t swapped = __builtin_bswap32(order);
    return StateFault(name_, at + 12,
                      swapped == kByteOrderMark
                          ? "written in the other byte order (big-endian), which this Logvane "
                            "does not read"
                          : "the byte-order mark is damaged");
  }
  minor_ = minor;
  if (major != kStateMajorVersion) {
    std::string version = std::to_string(major) + "." + std::to_string(minor);
    return StateFault(name_, at + 8,
                      major > kStateMajorVersion
                          ? "state format " + version +
                                " was made by a newer Logvane; this one "
                                "reads format " +
                                std::to_string(kStateMajorVersion) + ".x"
                          : "state format " + version + " is not one this Logvane reads");
  }
  return Status::Ok();
}

Status StateStream::ReadSection(Section* section) {
  std::string head;
  bool complete = false;
  const uint64_t at = offset_;
  if (Status s = Fill(kSectionHeaderSize, &head, &complete); !s.ok()) return s;
  if (!complete) {
    return StateFault(name_, offset_, "the state is cut short (no END section)");
  }
  section->kind = static_cast<uint32_t>(GetLittle(head.data(), 4));
  section->flags = static_cast<uint32_t>(GetLittle(head.data() + 4, 4));
  uint64_t length = GetLittle(head.data() + 8, 8);
  if (length > kLargestSection) {
    return StateFault(name_, at + 8,
                      "a section length of " + std::to_string(length) + " bytes is damage");
  }
  section->offset = offset_;
  if (Status s = Fill(static_cast<size_t>(length), &section->payload, &complete); !s.ok()) {
    return s;
  }
  if (!complete) {
    return StateFault(
        name_, offset_,
        "the state is cut short inside a section of " + std::to_string(length) + " bytes");
  }
  std::string sum;
  if (Status s = Fill(8, &sum, &complete); !s.ok()) return s;
  if (!complete) return StateFault(name_, offset_, "the state is cut short in a checksum");
  uint64_t expected = GetLittle(sum.data(), 8);
  if (XXH3_64bits(section->payload.data(), section->payload.size()) != expected) {
    return StateFault(name_, at,
                      "section " + std::to_string(section->kind) +
                          " does not match its checksum (the file is damaged)");
  }
  return Status::Ok();
}

}  // namespace logvane
