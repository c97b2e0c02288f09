// Saving a captured file: what the user keeps of it is what the server sent.
#pragma once

#include <string>

#include "platform/Files.h"

namespace ravo {

// Writes the captured file at source to target, replacing a file there: the
// body alone of a browser's cache entry (Chromium simple cache, Firefox
// cache2), any other file whole. Never writes onto the source itself.
// Returns an empty text on success, else the reason, in the user's language
// (platform::kCopyStopped, platform::kTargetExists as control asks).
std::string SaveCapturedFile(const std::string& source, const std::string& target,
                             const platform::CopyControl& control = {});

}  // namespace ravo
