// Facts about the running process.
#pragma once

#include <string>

namespace ravo::platform {

// The folder of the running executable, with a trailing separator.
std::string ExecutableDir();

// True where a sandboxed browser engine cannot start for this process: on
// Linux a process running as root (Chromium refuses to sandbox root). On
// Windows an elevated administrator still runs sandboxed: never.
bool SandboxUnavailable();

}  // namespace ravo::platform
