// The two header attempts differ only in their share modes: the first lets
// others go on reading and writing the file, the second lets them only read.
#include <algorithm>

#include "platform/FileRead.h"
#include "platform/win32/Win32File.h"

namespace ravo::platform {
namespace {

// Fills as much of [data, data + size) as the file holds from its current
// position; false on a read error.
bool ReadFully(HANDLE file, char* data, std::size_t size, std::size_t& done) {
  done = 0;
  while (done < size) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(file, data + done, chunk, &n, nullptr)) return false;
    if (n == 0) break;
    done += n;
  }
  return true;
}

WholeFile Failed(const std::string& path, DWORD error) {
  WholeFile result;
  result.outcome = WholeFile::Outcome::kFailed;
  result.reason = Reason("无法读取“" + path + "”", error);
  return result;
}

}  // namespace

std::optional<std::size_t> ReadFileStart(const std::string& path, std::span<char> buffer,
                                         HeadAttempt attempt) {
  DWORD share = attempt == HeadAttempt::kLetOthersWrite ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                                        : FILE_SHARE_READ;
  Handle file(OpenFileForReading(path, share));
  if (!file.valid()) return std::nullopt;
  std::size_t n = 0;
  bool read = ReadFully(file.get(), buffer.data(), buffer.size(), n);
  if (!file.Close() || !read) return std::nullopt;
  return n;
}

const bool kHeadAttemptsDiffer = true;

std::optional<std::size_t> ReadRegularFileStart(const std::string& path, std::span<char> buffer) {
  return ReadFileStart(path, buffer, HeadAttempt::kLetOthersWrite);
}

std::optional<std::size_t> ReadRegularFileStartIn(const OpenFolder& folder, const std::string& name,
                                                  std::span<char> buffer) {
  if (!folder.IsOpen()) return std::nullopt;
  return ReadFileStart(folder.Get().prefix + name, buffer, HeadAttempt::kLetOthersWrite);
}

WholeFile ReadWholeFile(const std::string& path) {
  Handle file(OpenFileForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
  if (!file.valid()) {
    DWORD error = GetLastError();
    // A directory cannot be opened as a file: it is refused access.
    bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                   (error == ERROR_ACCESS_DENIED && QueryFile(path).isDirectory);
    return missing ? WholeFile{} : Failed(path, error);
  }
  WholeFile result;
  result.info = FileInfoOf(file.get());
  if (!result.info.exists) return Failed(path, GetLastError());
  // One byte more than the size announced, so that a file of the expected
  // size is read whole by one call; a file that grew meanwhile is read on.
  std::size_t capacity = static_cast<std::size_t>(result.info.size) + 1;
  for (;;) {
    std::size_t had = result.bytes.size();
    result.bytes.resize(had + capacity);
    std::size_t n = 0;
    if (!ReadFully(file.get(), result.bytes.data() + had, capacity, n)) {
      return Failed(path, GetLastError());
    }
    result.bytes.resize(had + n);
    if (n < capacity) break;
    capacity = result.bytes.size();
  }
  result.outcome = WholeFile::Outcome::kRead;
  return result;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(
          OpenFileForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))) {}

ReadOnlyFile::~ReadOnlyFile() {
  if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::optional<std::uint64_t> ReadOnlyFile::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<char> buffer) const {
  if (!IsOpen()) return false;
  std::size_t done = 0;
  while (done < buffer.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
    std::optional<DWORD> n =
        ReadAtOffset(reinterpret_cast<HANDLE>(handle_), offset + done, buffer.data() + done, chunk);
    if (!n || *n == 0) return false;
    done += *n;
  }
  return true;
}

}  // namespace ravo::platform
