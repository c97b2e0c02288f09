#include "app/CapturedFile.h"

#include "platform/FileRead.h"
#include "platform/Files.h"
#include "typedb/CacheEntry.h"

namespace ravo {

std::string SaveCapturedFile(const std::string& source, const std::string& target,
                             const platform::CopyControl& control) {
  // The range is worked out and copied on one open file, so that an entry
  // the browser replaces meanwhile cannot lend its range to another file.
  platform::ReadOnlyFile file(source);
  if (std::optional<BodyPieces> body = CacheEntryBody(file)) {
    return platform::CopyFileRangesReplacing(file, *body, target, control);
  }
  return platform::CopyFileReplacing(source, target, control);
}

}  // namespace ravo
