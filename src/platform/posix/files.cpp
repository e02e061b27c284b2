#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

namespace platform {

std::optional<std::string> DocumentsFolder() {
  if (const char* xdg = std::getenv("XDG_DOCUMENTS_DIR"); xdg != nullptr && *xdg != '\0') {
    return std::string(xdg);
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/Documents";
  }
  return std::nullopt;
}

char PathSeparator() { return '/'; }

bool AppendLine(const std::string& path, const std::string& line) {
  // O_APPEND makes each write land whole at the end of the file, whatever
  // other threads or processes append at the same moment.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string record = line + "\n";
  const ssize_t written = ::write(fd, record.data(), record.size());
  ::close(fd);
  return written == static_cast<ssize_t>(record.size());
}

}  // namespace platform
