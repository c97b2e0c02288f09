#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/FileRead.h"
#include "platform/posix/PosixFile.h"

namespace ravo::platform {
namespace {

// Fills as much of [data, data + size) as the file holds from offset `at`,
// or from its current position when `at` is negative; the count read, or -1
// on a read error.
ssize_t ReadFully(int fd, char* data, std::size_t size, off_t at = -1) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = at < 0 ? ::read(fd, data + done, size - done)
                       : ::pread(fd, data + done, size - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

WholeFile Failed(const std::string& path, int error) {
  WholeFile result;
  result.outcome = WholeFile::Outcome::kFailed;
  result.reason = Reason(("无法读取“" + path + "”").c_str(), error);
  return result;
}

// errno for a path that names something other than a regular file.
int NotRegularError(const struct stat& st) { return S_ISDIR(st.st_mode) ? EISDIR : EINVAL; }

}  // namespace

int OpenRegularForReading(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = NotRegularError(st);
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  // The path may name another file by now than the one looked at.
  int error = ::fstat(fd, &st) != 0 ? errno : (S_ISREG(st.st_mode) ? 0 : NotRegularError(st));
  if (error == 0) return fd;
  ::close(fd);
  errno = error;
  return -1;
}

const bool kHeadAttemptsDiffer = false;

namespace {

// Reads the start of the open file and closes it.
std::optional<std::size_t> ReadStartAndClose(Fd& file, std::span<char> buffer) {
  if (file.fd < 0) return std::nullopt;
  ssize_t n = ReadFully(file.fd, buffer.data(), buffer.size());
  int closed = ::close(file.fd);
  file.fd = -1;
  if (n < 0 || closed != 0) return std::nullopt;
  return static_cast<std::size_t>(n);
}

}  // namespace

std::optional<std::size_t> ReadFileStart(const std::string& path, std::span<char> buffer,
                                         HeadAttempt /*attempt*/) {
  Fd file;
  file.fd = OpenRegularForReading(path);
  return ReadStartAndClose(file, buffer);
}

constexpr int kRegularOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC;

std::optional<std::size_t> ReadRegularFileStart(const std::string& path, std::span<char> buffer) {
  Fd file;
  file.fd = ::open(path.c_str(), kRegularOpenFlags);
  return ReadStartAndClose(file, buffer);
}

std::optional<std::size_t> ReadRegularFileStartIn(const OpenFolder& folder, const std::string& name,
                                                  std::span<char> buffer) {
  if (!folder.IsOpen()) return std::nullopt;
  Fd file;
  file.fd = ::openat(folder.Get().fd, name.c_str(), kRegularOpenFlags);
  return ReadStartAndClose(file, buffer);
}

WholeFile ReadWholeFile(const std::string& path) {
  Fd file;
  file.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file.fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return Failed(path, errno);
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return Failed(path, errno);
  if (S_ISDIR(st.st_mode)) return {};
  if (!S_ISREG(st.st_mode)) return Failed(path, EINVAL);

  WholeFile result;
  result.info = FileInfoOf(st);
  // One byte more than the size announced, so that a file of the expected
  // size is read whole by one call; a file that grew meanwhile is read on.
  std::size_t capacity = static_cast<std::size_t>(st.st_size) + 1;
  for (;;) {
    std::size_t had = result.bytes.size();
    result.bytes.resize(had + capacity);
    ssize_t n = ReadFully(file.fd, result.bytes.data() + had, capacity);
    if (n < 0) return Failed(path, errno);
    result.bytes.resize(had + static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) < capacity) break;
    capacity = result.bytes.size();
  }
  result.outcome = WholeFile::Outcome::kRead;
  return result;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path) : handle_(OpenRegularForReading(path)) {}

ReadOnlyFile::~ReadOnlyFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::optional<std::uint64_t> ReadOnlyFile::Size() const {
  struct stat st {};
  if (handle_ < 0 || ::fstat(static_cast<int>(handle_), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool ReadOnlyFile::ReadAt(std::uint64_t offset, std::span<char> buffer) const {
  constexpr auto kLastOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (handle_ < 0 || offset > kLastOffset - buffer.size()) return false;
  ssize_t n = ReadFully(static_cast<int>(handle_), buffer.data(), buffer.size(),
                        static_cast<off_t>(offset));
  return n == static_cast<ssize_t>(buffer.size());
}

}  // namespace ravo::platform
