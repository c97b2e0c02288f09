#include "fsutil/velwindows.h"

#include "fsutil/PathText.h"
#include "platform/Shell.h"

namespace ravo {

bool ShellOpenFile(const std::string& path, const std::string& parameters) {
  return platform::ShellOpen(path, parameters, FolderOf(path));
}

}  // namespace ravo
