#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <vector>

#include "platform/FileRead.h"
#include "platform/Files.h"
#include "platform/posix/PosixFile.h"

namespace ravo::platform {
namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// CopyContent's answers when the source ends before the bytes asked for,
// and when a stop was asked for.
constexpr int kSourceTooShort = -1;
constexpr int kStopRequested = -2;

// Copies the bytes of `from` from `offset` on into `to`: `length` of them,
// or all up to the end of the file when no length is given. 0 on success,
// kSourceTooShort, kStopRequested, or errno.
int CopyContent(int from, int to, std::uint64_t offset, std::optional<std::uint64_t> length,
                const std::stop_token& stop) {
  std::vector<char> buffer(1 << 20);
  std::uint64_t left = length.value_or(std::numeric_limits<std::uint64_t>::max());
  while (left > 0) {
    if (stop.stop_requested()) return kStopRequested;
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return EINVAL;
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
    ssize_t n = ::pread(from, buffer.data(), want, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return length ? kSourceTooShort : 0;
    if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(n))) return errno ? errno : EIO;
    offset += static_cast<std::uint64_t>(n);
    left -= static_cast<std::uint64_t>(n);
  }
  return 0;
}

// Copies the ranges of `from` one after another into `to`, or the whole file
// when there are none given. As CopyContent answers.
int CopyRanges(int from, int to, std::optional<std::span<const FileRange>> ranges,
               const std::stop_token& stop) {
  if (!ranges) return CopyContent(from, to, 0, std::nullopt, stop);
  for (const FileRange& range : *ranges) {
    if (int error = CopyContent(from, to, range.offset, range.length, stop)) return error;
  }
  return 0;
}

// Gives the finished temporary file the target's name; 0 or errno. Where
// the target must be kept, the rename refuses an existing one (EEXIST); a
// filesystem without that kind of rename gets a hard link instead, and one
// without links (FAT) the plain rename after a last look.
int MoveIntoPlace(const std::string& temp, const std::string& target, bool keepExisting) {
  if (!keepExisting) return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(temp.c_str(), target.c_str()) == 0) {
    ::unlink(temp.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP) return errno;
  struct stat there {};
  if (::lstat(target.c_str(), &there) == 0) return EEXIST;
  return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
}

// Writes bytes of the open source `in` (see CopyRanges) to a temporary file
// beside target and renames it over target; the source's permissions go
// with them. Refuses to replace the source itself.
std::string WriteReplacing(int in, const struct stat& src,
                           std::optional<std::span<const FileRange>> ranges,
                           const std::string& target, const CopyControl& control) {
  struct stat dst {};
  if (::stat(target.c_str(), &dst) == 0 && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
    return "源文件与目标文件是同一个文件，未复制";
  }

  std::string temp = target + ".ravo-XXXXXX";
  Fd out;
  out.fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out.fd < 0) return Reason("无法写入目标文件", errno);
  int error = CopyRanges(in, out.fd, ranges, control.stop);
  if (error == 0 && ::fchmod(out.fd, src.st_mode & 0777) != 0) error = errno;
  if (error == 0 && ::fsync(out.fd) != 0) error = errno;
  int closed = ::close(out.fd);
  out.fd = -1;
  if (error == 0 && closed != 0) error = errno;
  if (error == 0) error = MoveIntoPlace(temp, target, control.keepExisting);
  if (error == 0) return {};
  ::unlink(temp.c_str());
  if (error == kSourceTooShort) return "源文件在复制时被改动，未复制";
  if (error == kStopRequested) return kCopyStopped;
  if (error == EEXIST) return kTargetExists;
  return Reason("复制失败", error);
}

std::int64_t Nanoseconds(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

std::string Reason(const char* what, int error) {
  return std::string(what) + "：" + std::strerror(error);
}

FileInfo FileInfoOf(const struct stat& st) {
  FileInfo info;
  info.exists = true;
  info.isDirectory = S_ISDIR(st.st_mode);
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.device = st.st_dev;
  info.inode = st.st_ino;
  info.changeTimeNs = Nanoseconds(st.st_ctim);
  info.writeTimeNs = Nanoseconds(st.st_mtim);
  return info;
}

FileInfo QueryFile(const std::string& path) {
  struct stat st {};
  if (path.empty()) return {};
  if (::stat(path.c_str(), &st) != 0) {
    FileInfo info;
    info.queryFailed = errno != ENOENT && errno != ENOTDIR;
    return info;
  }
  return FileInfoOf(st);
}

std::string CopyFileReplacing(const std::string& source, const std::string& target,
                              const CopyControl& control) {
  Fd in;
  in.fd = OpenRegularForReading(source);
  if (in.fd < 0) return Reason("无法打开源文件", errno);
  struct stat src {};
  if (::fstat(in.fd, &src) != 0) return Reason("无法读取源文件", errno);
  return WriteReplacing(in.fd, src, std::nullopt, target, control);
}

std::string CopyFileRangesReplacing(const ReadOnlyFile& source, std::span<const FileRange> ranges,
                                    const std::string& target, const CopyControl& control) {
  int in = static_cast<int>(source.NativeHandle());
  struct stat src {};
  if (in < 0) return Reason("无法打开源文件", EBADF);
  if (::fstat(in, &src) != 0) return Reason("无法读取源文件", errno);
  return WriteReplacing(in, src, ranges, target, control);
}

std::string MakeFolders(const std::string& path) {
  if (path.empty()) return Reason("无法创建文件夹", ENOENT);
  // Each folder from the top down; one that is there already is fine.
  for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      return Reason(("无法创建文件夹 " + part).c_str(), errno);
    }
    if (at == std::string::npos) break;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Reason(("无法创建文件夹 " + path).c_str(), errno);
  if (!S_ISDIR(st.st_mode)) return Reason(("无法创建文件夹 " + path).c_str(), ENOTDIR);
  return {};
}

std::optional<std::uint64_t> FreeSpace(const std::string& path) {
  struct statvfs fs {};
  if (::statvfs(path.c_str(), &fs) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::string RenameReplacing(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Reason(("无法改名为 " + to).c_str(), errno);
  return {};
}

bool RemoveFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

std::string MakePrivateTempDir(const std::string& prefix) {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) return {};
  std::string pattern = (base / (prefix + "XXXXXX")).string();
  // mkdtemp makes the folder with permissions for its owner only.
  if (!::mkdtemp(pattern.data())) return {};
  return pattern;
}

}  // namespace ravo::platform
