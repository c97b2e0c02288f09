// File queries and copies. A copy is written to a temporary file beside the
// target, with the source's attributes (and, for a whole file, its last
// write time, as CopyFileA keeps it), which then replaces the target in one
// step with MoveFileExA.
#include <algorithm>
#include <atomic>
#include <optional>
#include <vector>

#include "platform/FileRead.h"
#include "platform/Files.h"
#include "platform/win32/Win32File.h"

namespace ravo::platform {
namespace {

// The directory entry of the path, for a file that refuses even an open for
// questions (the paging file and the like).
FileInfo FromDirectoryEntry(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return {};
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA(path.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return {};
  FindClose(search);
  FileInfo info;
  info.exists = true;
  info.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return info;
}

// A new file beside the target that nobody else uses.
HANDLE CreateTemporaryBeside(const std::string& target, DWORD attributes, std::string& temp) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    temp =
        target + ".ravo-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    HANDLE file =
        CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
}

// CopyContent's answers when the source ends before the bytes asked for,
// and when a stop was asked for.
constexpr DWORD kSourceTooShort = 0xFFFFFFFF;
constexpr DWORD kStopRequested = 0xFFFFFFFE;

// Copies the bytes of `from` from `offset` on into `to`: `length` of them,
// or all up to the end of the file when no length is given. ERROR_SUCCESS,
// kSourceTooShort, kStopRequested, or the system's error.
DWORD CopyContent(HANDLE from, HANDLE to, std::uint64_t offset, std::optional<std::uint64_t> length,
                  const std::stop_token& stop) {
  std::vector<char> buffer(1 << 20);
  std::uint64_t left = length.value_or(~std::uint64_t{0});
  while (left > 0) {
    if (stop.stop_requested()) return kStopRequested;
    DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(buffer.size(), left));
    std::optional<DWORD> n = ReadAtOffset(from, offset, buffer.data(), want);
    if (!n) return GetLastError();
    if (*n == 0) return length ? kSourceTooShort : ERROR_SUCCESS;
    DWORD written = 0;
    if (!WriteFile(to, buffer.data(), *n, &written, nullptr)) return GetLastError();
    if (written != *n) return ERROR_WRITE_FAULT;
    offset += *n;
    left -= *n;
  }
  return ERROR_SUCCESS;
}

// Copies the ranges of `from` one after another into `to`, or the whole file
// when there are none given. As CopyContent answers.
DWORD CopyRanges(HANDLE from, HANDLE to, std::optional<std::span<const FileRange>> ranges,
                 const std::stop_token& stop) {
  if (!ranges) return CopyContent(from, to, 0, std::nullopt, stop);
  for (const FileRange& range : *ranges) {
    DWORD error = CopyContent(from, to, range.offset, range.length, stop);
    if (error != ERROR_SUCCESS) return error;
  }
  return ERROR_SUCCESS;
}

// Writes bytes of the open source `in` (see CopyRanges) over target.
// Refuses to replace the source itself, found by volume and file index.
std::string WriteReplacing(HANDLE in, std::optional<std::span<const FileRange>> ranges,
                           const std::string& target, const CopyControl& control) {
  BY_HANDLE_FILE_INFORMATION src{};
  if (!GetFileInformationByHandle(in, &src)) return Reason("无法读取源文件", GetLastError());
  if (src.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return Reason("无法读取源文件", ERROR_ACCESS_DENIED);
  }
  {
    Handle existing(OpenForQuery(target));
    BY_HANDLE_FILE_INFORMATION dst{};
    if (existing.valid() && GetFileInformationByHandle(existing.get(), &dst)) {
      if (dst.dwVolumeSerialNumber == src.dwVolumeSerialNumber &&
          dst.nFileIndexHigh == src.nFileIndexHigh && dst.nFileIndexLow == src.nFileIndexLow) {
        return "源文件与目标文件是同一个文件，未复制";
      }
      // A read-only target is protected, as CopyFileA protects it.
      if (dst.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        return Reason("复制失败", ERROR_ACCESS_DENIED);
      }
    }
  }

  constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_ARCHIVE;
  DWORD attributes = src.dwFileAttributes & kKept;
  std::string temp;
  Handle out(CreateTemporaryBeside(target, attributes ? attributes : FILE_ATTRIBUTE_NORMAL, temp));
  if (!out.valid()) return Reason("无法写入目标文件", GetLastError());
  DWORD error = CopyRanges(in, out.get(), ranges, control.stop);
  if (error == ERROR_SUCCESS && !ranges &&
      !SetFileTime(out.get(), nullptr, nullptr, &src.ftLastWriteTime)) {
    error = GetLastError();
  }
  if (error == ERROR_SUCCESS && !FlushFileBuffers(out.get())) error = GetLastError();
  if (!out.Close() && error == ERROR_SUCCESS) error = GetLastError();
  // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing target.
  const DWORD move = control.keepExisting ? MOVEFILE_WRITE_THROUGH
                                          : MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (error == ERROR_SUCCESS && !MoveFileExA(temp.c_str(), target.c_str(), move)) {
    error = GetLastError();
  }
  if (error == ERROR_SUCCESS) return {};
  // A read-only copy could not be deleted.
  SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(temp.c_str());
  if (error == kSourceTooShort) return "源文件在复制时被改动，未复制";
  if (error == kStopRequested) return kCopyStopped;
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return kTargetExists;
  return Reason("复制失败", error);
}

}  // namespace

FileInfo QueryFile(const std::string& path) {
  if (path.empty()) return {};
  Handle file(OpenForQuery(path));
  if (file.valid()) return FileInfoOf(file.get());
  DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION) return FromDirectoryEntry(path);
  FileInfo info;
  info.queryFailed = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
                     error != ERROR_INVALID_NAME && error != ERROR_BAD_NETPATH;
  return info;
}

std::string CopyFileReplacing(const std::string& source, const std::string& target,
                              const CopyControl& control) {
  Handle in(OpenFileForReading(source, FILE_SHARE_READ | FILE_SHARE_WRITE));
  if (!in.valid()) return Reason("无法打开源文件", GetLastError());
  return WriteReplacing(in.get(), std::nullopt, target, control);
}

std::string CopyFileRangesReplacing(const ReadOnlyFile& source, std::span<const FileRange> ranges,
                                    const std::string& target, const CopyControl& control) {
  if (!source.IsOpen()) return Reason("无法打开源文件", ERROR_INVALID_HANDLE);
  return WriteReplacing(reinterpret_cast<HANDLE>(source.NativeHandle()), ranges, target, control);
}

// Each folder from the top down (separators of either kind, never the
// second byte of a double-byte character); one that is there is fine.
std::string MakeFolders(const std::string& path) {
  if (path.empty()) return Reason("无法创建文件夹", ERROR_PATH_NOT_FOUND);
  for (std::size_t at = 0; at <= path.size(); ++at) {
    bool lead = at < path.size() && static_cast<unsigned char>(path[at]) >= 0x81;
    if (lead) {
      ++at;  // the trail byte of a double-byte character is no separator
      continue;
    }
    if (at < path.size() && path[at] != '\\' && path[at] != '/') continue;
    std::string part = path.substr(0, at);
    if (part.empty() || part.back() == ':') continue;  // the drive itself
    if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return Reason("无法创建文件夹 " + part, GetLastError());
    }
  }
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Reason("无法创建文件夹 " + path, ERROR_DIRECTORY);
  }
  return {};
}

std::optional<std::uint64_t> FreeSpace(const std::string& path) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

std::string RenameReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return Reason("无法改名为 " + to, GetLastError());
  }
  return {};
}

bool RemoveFile(const std::string& path) { return !path.empty() && DeleteFileA(path.c_str()); }

// The user's temporary folder is the user's own; a folder made in it
// inherits that.
std::string MakePrivateTempDir(const std::string& prefix) {
  char base[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof base, base);
  if (n == 0 || n > MAX_PATH) return {};
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string path = base + prefix + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(GetTickCount64() % 100000) + "-" + std::to_string(counter++);
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace ravo::platform
