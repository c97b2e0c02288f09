#include "app/OpenableCopies.h"

#include <filesystem>
#include <optional>

#include "fsutil/PathText.h"
#include "platform/FileRead.h"
#include "platform/Files.h"
#include "typedb/CacheEntry.h"
#include "typedb/DetectFileType.h"

namespace ravo {
namespace {

// The name the copy of an entry's body gets: the entry's own name with the
// body's real extension, unless the name already ends with it.
std::string CopyName(const std::string& capturedPath) {
  std::string name = NameOf(capturedPath);
  std::string ext;
  try {
    ext = DetectFileType(capturedPath);
  } catch (const TypeDbIoError&) {
    // Without the database the copy keeps the entry's name as it is.
  }
  if (LastSeparator(ext) != std::string::npos || EqualsIgnoreAsciiCase(ExtOf(name), ext)) {
    return name;
  }
  return name + ext;
}

}  // namespace

OpenableCopies::~OpenableCopies() {
  if (folder_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string OpenableCopies::NextCopyFolder() {
  if (folder_.empty()) folder_ = platform::MakePrivateTempDir("ravo-open-");
  if (folder_.empty()) return {};
  std::string dir = JoinPath(folder_, std::to_string(++copies_));
  std::error_code error;
  if (!std::filesystem::create_directory(dir, error)) return {};
  return dir;
}

std::string OpenableCopies::PathToOpen(const std::string& capturedPath) {
  platform::ReadOnlyFile file(capturedPath);
  std::optional<BodyPieces> body = CacheEntryBody(file);
  if (!body) return capturedPath;
  std::string dir = NextCopyFolder();
  if (dir.empty()) return capturedPath;
  std::string copy = JoinPath(dir, CopyName(capturedPath));
  if (!platform::CopyFileRangesReplacing(file, *body, copy).empty()) {
    return capturedPath;
  }
  return copy;
}

}  // namespace ravo
