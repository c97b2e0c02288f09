// Facts about the running process.
#pragma once

#include <string>

namespace ravo::platform {

// The folder of the running executable, with a trailing separator.
std::string ExecutableDir();

// True when the process runs with the administrator's (root's) rights.
bool RunningAsRoot();

}  // namespace ravo::platform
