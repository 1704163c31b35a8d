// Any bytes as a JSON log: the first byte chooses the settings and the
// extra keys, the rest is read by the JSON line parser, line by line and as
// a whole log. Every record must stay within its widths and stores.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "format_record_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace logvane;
  if (size < 1) return 0;
  uint8_t control = data[0];
  std::string_view log(reinterpret_cast<const char*>(data) + 1, size - 1);
  static const char* const kExtras[] = {"", "host", "$remote_addr", "request"};
  LogFormat format;
  std::string error;
  if (!CompileLogFormat("JSON", kExtras[control & 3], kExtras[(control >> 6) & 3], &format,
                        &error)) {
    fuzzing::Check(false, "JSON with a named key compiles");
  }
  LineFormat options;
  options.userFromField2 = control & 4;
  options.proxyMode = control & 8;
  options.fullPageDetails = control & 16;
  options.selectOn = control & 32;
  options.selectText = "/";
  fuzzing::RunFormat(format, log, options);
  return 0;
}
