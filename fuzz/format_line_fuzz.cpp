// Any bytes as a format string and a log: the first line is the LOGFORMAT
// value (an Apache or nginx format string, or a preset), the first byte
// after it chooses the settings, whether an extra and a time field are
// chosen and whether the clock is read (FROM and UNTIL), the rest is
// the log. Compiling may refuse the format; a compiled one must read every
// line into a record within its widths.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "format_record_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t newline = input.find('\n');
  if (newline == std::string_view::npos || newline + 1 >= input.size()) return 0;
  std::string_view value = input.substr(0, newline);
  uint8_t control = static_cast<uint8_t>(input[newline + 1]);
  std::string_view log = input.substr(newline + 2);

  static const char* const kExtras[] = {"", "%v", "$remote_addr", "%{Referer}i"};
  LogFormat format;
  std::string error;
  const char* timeField = control & 128 ? "$request_time:ms" : "";
  if (!CompileLogFormat(value, kExtras[control & 3], "", &format, &error, timeField)) return 0;
  if (format.kind == FormatKind::kMarkers) return 0;
  LineFormat options;
  options.userFromField2 = control & 4;
  options.proxyMode = control & 8;
  options.fullPageDetails = control & 16;
  options.selectOn = control & 32;
  options.selectText = "a";
  options.readClock = control & 64;
  fuzzing::RunFormat(format, log, options);
  return 0;
}
