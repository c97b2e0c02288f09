// File queries and the one file copy the program makes.
#pragma once

#include <cstdint>
#include <string>

namespace ravo::platform {

struct FileInfo {
  bool exists = false;
  bool isDirectory = false;
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t changeTimeNs = 0;  // status change time (ctime)
  std::int64_t writeTimeNs = 0;   // last write time (mtime)
};

// What the path names, following symbolic links; exists is false when the
// path names nothing or cannot be examined.
FileInfo QueryFile(const std::string& path);

// Copies source over target. The copy is written to a temporary file beside
// the target and renamed over it, so a failed copy never leaves a truncated
// target. Copying a file onto itself (or onto another name of the same file)
// is refused and leaves it intact. Returns an empty text on success, else
// the reason, in the user's language.
std::string CopyFileReplacing(const std::string& source, const std::string& target);

}  // namespace ravo::platform
