// The thin layer between Logvane and the operating system: socket start-up,
// the local host name, process priority and the clocks. Each service is a
// replaceable function so that tests can run a whole sequence without
// depending on the machine they run on.
#ifndef LOGVANE_PLATFORM_PLATFORM_H_
#define LOGVANE_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/resolver.h"

namespace logvane {

// The host name field holds at most this many characters.
inline constexpr size_t kHostNameWidth = 49;

struct Platform {
  std::function<bool()> startSockets;  // false ends the run
  std::function<void()> stopSockets;
  std::function<std::optional<std::string>()> hostName;  // none ends the run
  std::function<void()> lowerPriority;                   // PLOW
  std::function<std::string()> localTimeText;            // 24 characters and a newline
  std::function<int64_t()> nowSeconds;                   // calendar time, whole seconds
  ReverseResolver resolver;                              // reverse lookups (may block)
};

// The services of the machine the program runs on.
Platform SystemPlatform();

// "Www Mmm dd hh:mm:ss yyyy\n" for the given broken-down local time.
std::string AsctimeText(int weekday, int month, int day, int hour, int minute, int second,
                        int64_t year);

// The machine's local host name cut to kHostNameWidth, or none.
std::optional<std::string> SystemHostName();

// Idle scheduling for the process, one step below normal for this thread.
void LowerSystemPriority();

// Whether standard output is a terminal (rather than a file or a pipe).
bool StandardOutputIsTerminal();

// Processors online now, at least 1.
int32_t SystemOnlineCores();

std::string SystemLocalTimeText();
int64_t SystemNowSeconds();

}  // namespace logvane

#endif  // LOGVANE_PLATFORM_PLATFORM_H_
