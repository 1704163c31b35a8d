#include "platform/platform.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace logvane {

std::string AsctimeText(int weekday, int month, int day, int hour, int minute, int second,
                        int64_t year) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.3s %.3s%3d %.2d:%.2d:%.2d %lld\n",
                kDays[((weekday % 7) + 7) % 7], kMonths[((month % 12) + 12) % 12], day, hour,
                minute, second, static_cast<long long>(year));
  return buffer;
}

std::optional<std::string> SystemHostName() {
  char buffer[256];
  if (gethostname(buffer, sizeof(buffer)) != 0) return std::nullopt;
  buffer[sizeof(buffer) - 1] = '\0';
  std::string name(buffer);
  if (name.size() > kHostNameWidth) name.resize(kHostNameWidth);
  return name;
}

void LowerSystemPriority() {
  // Threads started later inherit both settings. Results are not examined:
  // a run that cannot lower its priority still runs.
#ifdef SCHED_IDLE
  sched_param param{};
  param.sched_priority = 0;
  (void)sched_setscheduler(0, SCHED_IDLE, &param);
#endif
  errno = 0;
  int current = getpriority(PRIO_PROCESS, 0);
  if (errno == 0) (void)setpriority(PRIO_PROCESS, 0, current + 1);
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

std::string SystemLocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return AsctimeText(local.tm_wday, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec, static_cast<int64_t>(local.tm_year) + 1900);
}

int32_t SystemOnlineCores() {
  long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  if (n < 1) return 1;
  return n > 1024 ? 1024 : static_cast<int32_t>(n);
}

int64_t SystemNowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

Platform SystemPlatform() {
  Platform p;
  p.startSockets = [] { return true; };  // POSIX sockets need no start-up
  p.stopSockets = [] {};
  p.hostName = SystemHostName;
  p.lowerPriority = LowerSystemPriority;
  p.localTimeText = SystemLocalTimeText;
  p.nowSeconds = SystemNowSeconds;
  p.resolver = SystemReverseLookup;
  return p;
}

}  // namespace logvane
