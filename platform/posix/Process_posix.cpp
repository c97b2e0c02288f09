#include <unistd.h>

#include <climits>

#include "platform/Process.h"

namespace ravo::platform {

std::string ExecutableDir() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

bool SandboxUnavailable() { return geteuid() == 0; }

}  // namespace ravo::platform
