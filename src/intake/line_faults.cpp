#include "intake/line_faults.h"

namespace logvane {

namespace {

bool IsTerminalControl(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t') || u == 0x7f;
}

// Writes a log line for the operator to read: its own line end is kept,
// every other control byte becomes "?", so a line written by a stranger
// cannot move the cursor, retitle or reprogram the operator's terminal.
void WriteLineForConsole(std::string_view line, Console& console) {
  std::string_view end;
  if (line.ends_with("\r\n")) {
    end = line.substr(line.size() - 2);
  } else if (line.ends_with('\n')) {
    end = line.substr(line.size() - 1);
  }
  line.remove_suffix(end.size());
  size_t start = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (!IsTerminalControl(line[i])) continue;
    console.Write(line.substr(start, i - start));
    console.WriteChar('?');
    start = i + 1;
  }
  console.Write(line.substr(start));
  console.Write(end);
}

}  // namespace

void ReportLineFault(LineFault fault, std::string_view line, Console& console) {
  std::string_view prefix;
  switch (fault) {
    case LineFault::kNone:
    case LineFault::kNoMatch:
    case LineFault::kTooLong: return;
    case LineFault::kNoBracket: console.WriteChar('~'); return;
    case LineFault::kBadFormat:
      console.Line("*REJECTED LINE due to bad format*");
      console.Flush();
      return;
    case LineFault::kNoHour: prefix = "Hour Not Found in: "; break;
    case LineFault::kNoPage: prefix = " NO PAGE/0: "; break;
    case LineFault::kPageTooFar: prefix = "Page not found in: "; break;
    case LineFault::kBadPageA: prefix = " BAD PAGE/a: "; break;
    case LineFault::kBadPageB: prefix = " BAD PAGE/b: "; break;
    case LineFault::kBadPageD: prefix = " BAD PAGE/d: "; break;
  }
  console.Write(prefix);
  WriteLineForConsole(line, console);
  console.Write("\n");
}

}  // namespace logvane
