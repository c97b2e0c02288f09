// Small pieces the Win32 implementation files share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DirSearch.h"
#include "platform/Files.h"

namespace ravo::platform {

// A folder "held open" by its path: Windows opens files by path anyway.
struct OpenFolder::State {
  std::string prefix;  // the folder's path with its separator, for names
};

// Closes the handle on every way out.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  // Closes it now; false when closing failed.
  bool Close();

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Index of the last back slash of the path, or npos; the trail byte of a
// double-byte character of the ANSI code page is none.
std::size_t LastBackslash(std::string_view path);

// Opens an existing file or directory for nothing but questions about it:
// such an open succeeds whatever others have opened it for.
HANDLE OpenForQuery(const std::string& path);

// Opens an existing regular file for reading, letting others do what `share`
// allows. Device names (CON, NUL, COM1, \\.\...) and anything that is no
// file on a disk are refused without being opened, or closed at once: the
// error is then ERROR_FILE_NOT_FOUND.
HANDLE OpenFileForReading(const std::string& path, DWORD share);

// Reads at offset without moving the file pointer; the count read (0 at the
// end), or nullopt on a read error.
std::optional<DWORD> ReadAtOffset(HANDLE file, std::uint64_t offset, char* data, DWORD size);

// What the handle says about its file; exists is false when it cannot say.
FileInfo FileInfoOf(HANDLE file);

// "what：system message for error", for failures shown to the user.
std::string Reason(std::string_view what, DWORD error);

}  // namespace ravo::platform
