#include "platform/diagnostics.h"

#include <cstring>

namespace logvane {

void Diagnostics::Report(Severity severity, std::string_view where, std::string_view text) {
  if (severity > worst_) worst_ = severity;
  std::string line;
  if (!where.empty()) line.append(where).append(": ");
  switch (severity) {
    case Severity::kNote: line.append("note: "); break;
    case Severity::kWarning: line.append("warning: "); break;
    case Severity::kError: line.append("error: "); break;
  }
  line.append(text);
  Line(line);
}

void Diagnostics::Reason(std::string_view text) {
  worst_ = Severity::kError;
  Line(text);
}

void Diagnostics::Line(std::string_view text) {
  if (out_ == nullptr) return;
  out_->Write("logvane: ");
  out_->Write(text);
  out_->Write("\n");
}

std::string Visible(std::string_view text, size_t limit) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown;
  size_t end = text.size() < limit ? text.size() : limit;
  for (size_t i = 0; i < end; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\') {
      shown.append("\\\\");
    } else if (c < 0x20 || c > 0x7e) {
      shown.append("\\x");
      shown.push_back(kHex[c >> 4]);
      shown.push_back(kHex[c & 15]);
    } else {
      shown.push_back(static_cast<char>(c));
    }
  }
  if (end < text.size()) shown.append("...");
  return shown;
}

std::string Quoted(std::string_view text, size_t limit) {
  std::string quoted(1, '\'');
  quoted.append(Visible(text, limit)).push_back('\'');
  return quoted;
}

std::string SystemReason(int error) {
  char buffer[256];
  // The GNU strerror_r gives a pointer that need not be `buffer`.
  const char* text = strerror_r(error, buffer, sizeof(buffer));
  return text != nullptr ? std::string(text) : "error " + std::to_string(error);
}

std::string FileLine(std::string_view file, size_t line) {
  std::string where(Visible(file, 120));
  where.push_back(':');
  where.append(std::to_string(line));
  return where;
}

}  // namespace logvane
