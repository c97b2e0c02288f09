// Directory searches on Linux: one getdents64 call reads hundreds of
// entries with their types, so a directory usually costs an open, two reads
// and a close, and no stat per entry.
//
// A walk stays on the filesystem it starts on by stopping at mount points,
// which the mount table names: a mount point is never looked at, so a dead
// network share or a stuck FUSE filesystem mounted below cannot block the
// walk. A btrfs subvolume that is not mounted anywhere has a device number
// of its own but is part of the folder it sits in, and is walked.
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DirSearch.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/PosixFile.h"
#include "platform/posix/WalkBoundary.h"

namespace ravo::platform {

struct DirSearch::State {
  Fd dir;
  std::string path;  // absolute, for the mount table; empty when unknown
  std::shared_ptr<const MountPoints> mounts;
  std::uint64_t device = 0;
  std::vector<char> records;  // the directory's records as getdents64 gave them
  std::size_t next = 0;       // offset of the next record
};

namespace {

// Filesystems the kernel makes up from its own state: walking them means
// reading process tables, device registers and the like, never user files.
bool IsKernelFilesystem(int fd) {
  static constexpr std::array<unsigned long, 14> kKernelMagics = {
      PROC_SUPER_MAGIC,   SYSFS_MAGIC,     DEVPTS_SUPER_MAGIC,  DEBUGFS_MAGIC,
      TRACEFS_MAGIC,      SECURITYFS_MAGIC, CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC,
      BPF_FS_MAGIC,       PSTOREFS_MAGIC,  EFIVARFS_MAGIC,      SELINUX_MAGIC,
      BINFMTFS_MAGIC,     0x65735546 /* fusectl */};
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return true;
  auto type = static_cast<unsigned long>(fs.f_type);
  return std::find(kKernelMagics.begin(), kKernelMagics.end(), type) != kKernelMagics.end();
}

// Reads every record of the directory. A read error ends the reading: what
// came before it is kept, and an unreadable directory has no entries.
std::vector<char> ReadRecords(int fd) {
  // One buffer per thread for the reads, copied out by the bytes used, so
  // that a small directory does not hold a large buffer while it is walked.
  thread_local std::vector<char> buffer(64 * 1024);
  std::vector<char> records;
  for (;;) {
    ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    records.insert(records.end(), buffer.data(), buffer.data() + n);
  }
  return records;
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

DirSearch::DirSearch(const std::string& path) : state_(std::make_unique<State>()) {
  auto mounts = std::make_shared<const MountPoints>(MountPoints::Current());
  // A folder on a network filesystem is never opened: that may wait for
  // the server.
  if (OnRemoteFilesystem(*mounts, AbsolutePath(path))) return;
  state_->dir.fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (state_->dir.fd < 0) return;
  struct stat st {};
  if (IsKernelFilesystem(state_->dir.fd) || ::fstat(state_->dir.fd, &st) != 0) return;
  state_->path = OpenedPath(state_->dir.fd);
  if (OnRemoteFilesystem(*mounts, state_->path)) return;
  state_->mounts = std::move(mounts);
  state_->device = st.st_dev;
  state_->records = ReadRecords(state_->dir.fd);
}

DirSearch::DirSearch(const DirSearch& parent, std::string_view name)
    : state_(std::make_unique<State>()) {
  int parentFd = parent.state_->dir.fd;
  if (parentFd < 0) return;
  std::string entry(name);
  if (!parent.state_->path.empty()) {
    state_->path = ChildPath(parent.state_->path, entry);
    if (parent.state_->mounts->IsMountPoint(state_->path)) return;
  }
  std::optional<Subdirectory> sub = CheckSubdirectory(parentFd, entry, parent.state_->device);
  if (!sub) return;
  state_->dir.fd =
      ::openat(parentFd, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (state_->dir.fd < 0) return;
  state_->mounts = parent.state_->mounts;
  state_->device = sub->device;
  state_->records = ReadRecords(state_->dir.fd);
}

DirSearch::~DirSearch() = default;
DirSearch::DirSearch(DirSearch&&) noexcept = default;
DirSearch& DirSearch::operator=(DirSearch&&) noexcept = default;

OpenFolder DirSearch::Folder() const {
  if (state_->dir.fd < 0) return OpenFolder();
  auto folder = std::make_shared<OpenFolder::State>();
  folder->fd = ::fcntl(state_->dir.fd, F_DUPFD_CLOEXEC, 0);
  if (folder->fd < 0) return OpenFolder();
  return OpenFolder(std::move(folder));
}

bool DirSearch::Next(SearchEntry& entry) {
  std::vector<char>& records = state_->records;
  while (state_->next < records.size()) {
    const char* record = records.data() + state_->next;
    unsigned short length = 0;
    std::memcpy(&length, record + offsetof(struct dirent64, d_reclen), sizeof length);
    unsigned char type = static_cast<unsigned char>(record[offsetof(struct dirent64, d_type)]);
    const char* name = record + offsetof(struct dirent64, d_name);
    state_->next += length;
    if (IsDotOrDotDot(name)) continue;
    if (type == DT_UNKNOWN) {
      // Some filesystems leave the type open; only then is the entry
      // examined, and never when it is a mount point, which may hang.
      if (!state_->path.empty() &&
          state_->mounts->IsMountPoint(ChildPath(state_->path, name))) {
        continue;
      }
      struct stat st {};
      if (::fstatat(state_->dir.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        type = DT_DIR;
      }
    }
    entry.name = name;
    entry.attributes = type == DT_DIR ? kAttrDirectory : 0;
    entry.regular = type == DT_REG;
    return true;
  }
  return false;
}

}  // namespace ravo::platform
