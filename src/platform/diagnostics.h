// The operator's diagnostics: warnings, reasons and summaries on standard
// error, apart from the console, so scripts that read the console are not
// disturbed. Lines follow the compilers' layout so editors can jump to them:
//   logvane: lvparam.dat:3: warning: ...
//   logvane: cannot open input file 'x.log': No such file or directory
#ifndef LOGVANE_PLATFORM_DIAGNOSTICS_H_
#define LOGVANE_PLATFORM_DIAGNOSTICS_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/console.h"

namespace logvane {

enum class Severity { kNote, kWarning, kError };

class Diagnostics {
 public:
  // Writes through `out`; none discards every line (but still counts).
  explicit Diagnostics(Console* out) : out_(out) {}

  // "logvane: WHERE: SEVERITY: TEXT"; `where` may be empty.
  void Report(Severity severity, std::string_view where, std::string_view text);
  // "logvane: TEXT": a failure already announced on the console, with its
  // reason.
  void Reason(std::string_view text);

  // The worst severity reported so far; kNote when nothing worse came.
  Severity worst() const { return worst_; }

 private:
  void Line(std::string_view text);

  Console* out_;
  Severity worst_ = Severity::kNote;
};

// `text` for a diagnostic: control bytes, bytes above 126 and the backslash
// written as \xHH or \\, so nothing from a log or a parameter file can
// drive the operator's terminal; cut after `limit` bytes of the original,
// marked with "...".
std::string Visible(std::string_view text, size_t limit = 80);

// Visible(text, limit) between single quotes.
std::string Quoted(std::string_view text, size_t limit = 200);

// The system's text for an errno value ("No such file or directory").
std::string SystemReason(int error);

// "FILE:LINE" for a line of a file.
std::string FileLine(std::string_view file, size_t line);

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_DIAGNOSTICS_H_
