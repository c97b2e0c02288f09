#include <string>

#include "platform/Process.h"
#include "platform/win32/Win32File.h"

namespace ravo::platform {

std::string ExecutableDir() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".\\";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::size_t last = LastBackslash(path);
  return last == std::string::npos ? ".\\" : path.substr(0, last + 1);
}

bool SandboxUnavailable() { return false; }

}  // namespace ravo::platform
