#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

// Copies the whole of `from` into `to`; 0 on success, else errno.
int CopyContent(int from, int to) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(n))) return errno ? errno : EIO;
  }
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
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  return FileInfoOf(st);
}

std::string CopyFileReplacing(const std::string& source, const std::string& target) {
  Fd in;
  in.fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in.fd < 0) return Reason("无法打开源文件", errno);
  struct stat src {};
  if (::fstat(in.fd, &src) != 0) return Reason("无法读取源文件", errno);
  if (S_ISDIR(src.st_mode)) return Reason("无法读取源文件", EISDIR);

  struct stat dst {};
  if (::stat(target.c_str(), &dst) == 0 && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
    return "源文件与目标文件是同一个文件，未复制";
  }

  std::string temp = target + ".ravo-XXXXXX";
  Fd out;
  out.fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out.fd < 0) return Reason("无法写入目标文件", errno);
  int error = CopyContent(in.fd, out.fd);
  if (error == 0 && ::fchmod(out.fd, src.st_mode & 0777) != 0) error = errno;
  if (error == 0 && ::fsync(out.fd) != 0) error = errno;
  int closed = ::close(out.fd);
  out.fd = -1;
  if (error == 0 && closed != 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return Reason("复制失败", error);
  }
  return {};
}

}  // namespace ravo::platform
