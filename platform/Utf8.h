// The program's texts as UTF-8, for files that other programs read as such
// (an exported list). Texts are UTF-8 already on Linux; on Windows they are
// in the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace ravo::platform {

std::string ToUtf8(std::string_view text);

}  // namespace ravo::platform
