// Facts about the running process.
#pragma once

#include <string>

namespace ravo::platform {

// The folder of the running executable, with a trailing separator.
std::string ExecutableDir();

}  // namespace ravo::platform
