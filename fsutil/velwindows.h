// Opening a file with its associated program.
#pragma once

#include <string>

namespace ravo {

// Opens the file with the program the desktop associates with it, with the
// file's folder as working directory. True when the opener started.
bool ShellOpenFile(const std::string& path, const std::string& parameters);

}  // namespace ravo
