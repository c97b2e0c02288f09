#include <windows.h>

#include <climits>

#include "platform/Utf8.h"

namespace ravo::platform {

// ANSI code page to UTF-16 to UTF-8; a text the system cannot convert is
// given back as it is.
std::string ToUtf8(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX / 4) return std::string(text);
  const int length = static_cast<int>(text.size());
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (wideLength <= 0) return std::string(text);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wideLength);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string(text);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

}  // namespace ravo::platform
