#include "fsutil/velFile.h"

#include "fsutil/PathText.h"
#include "platform/Drives.h"
#include "platform/Files.h"

namespace ravo {

std::int64_t FileSizeOf(const std::string& path) {
  if (path.empty() || EndsWithSeparator(path)) return 0;
  platform::FileInfo info = platform::QueryFile(path);
  if (!info.exists || info.isDirectory) return 0;
  return static_cast<std::int64_t>(info.size);
}

std::string GetDriveLetters() {
  std::uint32_t mask = platform::LogicalDriveMask();
  std::string letters;
  for (int i = 0; i < 26; ++i) {
    if (mask & (1u << i)) letters.push_back(static_cast<char>('A' + i));
  }
  return letters;
}

std::string GetFixedDrives() {
  std::string fixed;
  for (char letter : GetDriveLetters()) {
    if (platform::DriveTypeOf(letter) == platform::kDriveFixed) fixed.push_back(letter);
  }
  return fixed;
}

}  // namespace ravo
