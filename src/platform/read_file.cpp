#include "platform/read_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace logvane {

bool ReadWholeFile(const std::string& path, std::string* content, int* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  content->clear();
  char chunk[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = errno;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    content->append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace logvane
