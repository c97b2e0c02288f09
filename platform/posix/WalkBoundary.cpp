#include "platform/posix/WalkBoundary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <linux/magic.h>
#include <sys/statfs.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <vector>

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif
#ifndef EXFAT_SUPER_MAGIC
#define EXFAT_SUPER_MAGIC 0x2011BAB0
#endif

namespace ravo::platform {
namespace {

std::int64_t Nanoseconds(const struct statx_timestamp& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Where statx is missing (Linux before 4.11, or refused by a sandbox), a
// plain stat: no mount-root mark and no birth time.
std::optional<Subdirectory> CheckWithStat(int dirFd, const std::string& name,
                                          std::uint64_t parentDevice) {
  struct stat st {};
  if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0 ||
      !S_ISDIR(st.st_mode) || st.st_dev != parentDevice) {
    return std::nullopt;
  }
  return Subdirectory{st.st_dev,
                      static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 +
                          st.st_ctim.tv_nsec};
}

}  // namespace

std::int64_t FileClockNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t CoarseTimesMarginNs(int fd) {
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return 0;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case MSDOS_SUPER_MAGIC:
    case EXFAT_SUPER_MAGIC:
      return 2'000'000'000;
    default:
      return 0;
  }
}

std::optional<Subdirectory> CheckSubdirectory(int dirFd, const std::string& name,
                                              std::uint64_t parentDevice) {
  struct statx sx {};
  if (::statx(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_CTIME | STATX_BTIME, &sx) != 0) {
    if (errno == ENOSYS || errno == EPERM) return CheckWithStat(dirFd, name, parentDevice);
    return std::nullopt;
  }
  if (!S_ISDIR(sx.stx_mode)) return std::nullopt;
  std::uint64_t device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  bool mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
                       ? (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0
                       : device != parentDevice;
  if (mountRoot) return std::nullopt;
  bool hasBirth = (sx.stx_mask & STATX_BTIME) != 0;
  return Subdirectory{device, Nanoseconds(hasBirth ? sx.stx_btime : sx.stx_ctime)};
}

std::string ChildPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string AbsolutePath(const std::string& path) {
  std::string joined = path;
  if (!path.starts_with('/')) {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    joined = ChildPath(cwd, path);
  }
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= joined.size()) {
    std::size_t end = joined.find('/', at);
    if (end == std::string::npos) end = joined.size();
    std::string part = joined.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    at = end + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::string OpenedPath(int fd) {
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  std::string target(PATH_MAX, '\0');
  ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= target.size() || target[0] != '/') return {};
  target.resize(static_cast<std::size_t>(n));
  return target;
}

bool OnRemoteFilesystem(const MountPoints& mounts, const std::string& absolutePath) {
  const MountEntry* mount = mounts.MountOf(absolutePath);
  return mount && IsRemoteFilesystem(mount->fsType);
}

}  // namespace ravo::platform
