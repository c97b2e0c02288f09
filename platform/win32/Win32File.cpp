#include "platform/win32/Win32File.h"

#include <array>
#include <cctype>

namespace ravo::platform {
namespace {

// Nanoseconds since 1970 from a FILETIME-style count of 100 ns since 1601,
// so that times compare with the C++ system clock.
std::int64_t UnixNanoseconds(std::int64_t fileTime) {
  constexpr std::int64_t kEpochDifference = 116'444'736'000'000'000;
  return (fileTime - kEpochDifference) * 100;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The start of the last path component, stepping over the trail bytes of
// double-byte characters of the ANSI code page.
std::size_t NameStart(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
    } else if (path[i] == '\\' || path[i] == '/' || path[i] == ':') {
      start = i + 1;
    }
  }
  return start;
}

// True for paths that name a device rather than a file: the device
// namespace, and a last component called like a device, whatever its
// extension ("nul.jpg" is the null device to the Win32 functions).
bool NamesDevice(std::string_view path) {
  if (path.starts_with("\\\\.\\") || path.starts_with("\\\\?\\")) return true;
  std::string_view name = path.substr(NameStart(path));
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (std::string_view device : kPlain) {
    if (EqualsIgnoreCase(name, device)) return true;
  }
  return name.size() == 4 &&
         (EqualsIgnoreCase(name.substr(0, 3), "COM") ||
          EqualsIgnoreCase(name.substr(0, 3), "LPT")) &&
         name[3] >= '1' && name[3] <= '9';
}

}  // namespace

std::size_t LastBackslash(std::string_view path) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
    } else if (path[i] == '\\') {
      last = i;
    }
  }
  return last;
}

bool Handle::Close() {
  if (!valid()) return true;
  bool closed = CloseHandle(handle_) != 0;
  handle_ = INVALID_HANDLE_VALUE;
  return closed;
}

HANDLE OpenForQuery(const std::string& path) {
  return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

HANDLE OpenFileForReading(const std::string& path, DWORD share) {
  if (path.empty() || NamesDevice(path)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

std::optional<DWORD> ReadAtOffset(HANDLE file, std::uint64_t offset, char* data, DWORD size) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  if (ReadFile(file, data, size, &n, &at)) return n;
  if (GetLastError() == ERROR_HANDLE_EOF) return 0;
  return std::nullopt;
}

FileInfo FileInfoOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION data{};
  FILE_BASIC_INFO times{};
  if (!GetFileInformationByHandle(file, &data) ||
      !GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times)) {
    return {};
  }
  FileInfo info;
  info.exists = true;
  info.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  info.device = data.dwVolumeSerialNumber;
  info.inode = (std::uint64_t{data.nFileIndexHigh} << 32) | data.nFileIndexLow;
  info.changeTimeNs = UnixNanoseconds(times.ChangeTime.QuadPart);
  info.writeTimeNs = UnixNanoseconds(times.LastWriteTime.QuadPart);
  return info;
}

std::string Reason(std::string_view what, DWORD error) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : "错误 " + std::to_string(error);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return std::string(what) + "：" + message;
}

}  // namespace ravo::platform
