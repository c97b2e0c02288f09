#include "platform/Utf8.h"

namespace ravo::platform {

std::string ToUtf8(std::string_view text) { return std::string(text); }

}  // namespace ravo::platform
