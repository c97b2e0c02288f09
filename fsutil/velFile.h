// File size and drive letters.
#pragma once

#include <cstdint>
#include <string>

namespace ravo {

// The whole length of the file the path names; 0 for a directory, a path
// ending in a separator, and a missing or unreadable path. Never throws.
std::int64_t FileSizeOf(const std::string& path);

// Upper-case letters of all drives in alphabetical order ("ACDE").
std::string GetDriveLetters();

// The letters of the fixed drives only.
std::string GetFixedDrives();

}  // namespace ravo
