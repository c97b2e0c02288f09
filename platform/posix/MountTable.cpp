#include "platform/posix/MountTable.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace ravo::platform {
namespace {

// mountinfo escapes space, tab, newline and back slash as \ooo.
std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      out.push_back(static_cast<char>(value));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

// The next field separated by spaces, or an empty view at the end.
std::string_view NextField(std::string_view& line) {
  std::size_t start = line.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    line = {};
    return {};
  }
  line.remove_prefix(start);
  std::size_t end = std::min(line.find(' '), line.size());
  std::string_view field = line.substr(0, end);
  line.remove_prefix(end);
  return field;
}

bool ParseNumber(std::string_view text, unsigned& out) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "id parent major:minor root mountpoint options [optional fields] - type source ..."
bool ParseLine(std::string_view line, MountEntry& out) {
  std::string_view fields[6];
  for (std::string_view& field : fields) {
    field = NextField(line);
    if (field.empty()) return false;
  }
  std::string_view word;
  do {
    word = NextField(line);
  } while (!word.empty() && word != "-");
  std::string_view fsType = NextField(line);
  std::string_view source = NextField(line);
  if (word != "-" || fsType.empty() || source.empty()) return false;
  std::string_view devNumbers = fields[2];
  std::size_t colon = devNumbers.find(':');
  if (colon == std::string_view::npos || !ParseNumber(devNumbers.substr(0, colon), out.major) ||
      !ParseNumber(devNumbers.substr(colon + 1), out.minor)) {
    return false;
  }
  out.root = Unescape(fields[3]);
  out.mountPoint = Unescape(fields[4]);
  out.fsType = std::string(fsType);
  out.source = Unescape(source);
  return !out.root.empty() && out.mountPoint.starts_with('/');
}

bool IsAtOrBelow(std::string_view path, std::string_view dir) {
  if (dir == "/") return path.starts_with('/');
  return path.starts_with(dir) && (path.size() == dir.size() || path[dir.size()] == '/');
}

bool IsSystemMountPoint(const std::string& mountPoint) {
  if (IsAtOrBelow(mountPoint, "/run/media")) return false;
  for (const char* dir : {"/proc", "/sys", "/dev", "/run"}) {
    if (IsAtOrBelow(mountPoint, dir)) return true;
  }
  return false;
}

// Where snapshot tools keep the copies of a filesystem (snapper's
// /.snapshots on openSUSE and Fedora): old copies of what the other drives
// hold, no storage of the user's.
bool IsSnapshotFolder(std::string_view mountPoint) {
  return mountPoint.ends_with("/.snapshots");
}

bool OneOf(std::string_view value, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), value) != names.end();
}

// Filesystems that live on local disks even where mountinfo shows no block
// device number (btrfs and zfs report anonymous device numbers).
bool IsDiskFilesystem(const std::string& fsType) {
  return OneOf(fsType, {"ext2", "ext3", "ext4", "xfs", "btrfs", "zfs", "f2fs", "jfs", "reiserfs",
                        "vfat", "exfat", "ntfs", "ntfs3", "fuseblk", "hfsplus", "nilfs2",
                        "bcachefs"});
}

// The drive type of a line, or kDriveUnknown when the mount is no drive.
int TypeOf(const MountEntry& m, const RemovableQuery& isRemovable) {
  // Read-only images of software (snaps, live systems) hold no user files.
  if (m.fsType == "squashfs" || m.fsType == "erofs") return kDriveUnknown;
  if (m.fsType == "iso9660" || m.fsType == "udf" || m.source.starts_with("/dev/sr")) {
    return kDriveCdRom;
  }
  if (IsRemoteFilesystem(m.fsType)) return kDriveRemote;
  if (m.fsType == "tmpfs" || m.fsType == "ramfs") return kDriveRamDisk;
  if (m.major != 0 || IsDiskFilesystem(m.fsType)) {
    return (m.major != 0 && isRemovable && isRemovable(m.major, m.minor)) ? kDriveRemovable
                                                                           : kDriveFixed;
  }
  return kDriveUnknown;
}

using Device = std::pair<unsigned, unsigned>;

// Whether an earlier drive of the same filesystem already shows this
// mount's tree. A part of a filesystem other than its top is a drive only
// for a btrfs subvolume; elsewhere it is a bind mount of a folder (or a
// file, as containers bind /etc/hosts).
bool ShownBefore(const MountEntry& m, const std::map<Device, std::vector<std::string>>& roots) {
  auto it = roots.find({m.major, m.minor});
  if (it != roots.end()) {
    return std::any_of(it->second.begin(), it->second.end(),
                       [&](const std::string& root) { return IsAtOrBelow(m.root, root); });
  }
  return m.root != "/" && m.fsType != "btrfs";
}

bool HoldsAny(const std::string& mountPoint, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::string& f) { return IsAtOrBelow(f, mountPoint); });
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo) {
  std::vector<MountEntry> entries;
  while (!mountinfo.empty() && entries.size() < kMaxMountLines) {
    std::size_t end = std::min(mountinfo.find('\n'), mountinfo.size());
    MountEntry m;
    if (ParseLine(mountinfo.substr(0, end), m)) entries.push_back(std::move(m));
    mountinfo.remove_prefix(std::min(end + 1, mountinfo.size()));
  }
  return entries;
}

bool IsRemoteFilesystem(std::string_view fsType) {
  return OneOf(fsType, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ceph", "glusterfs",
                        "fuse.sshfs", "sshfs", "fuse.glusterfs", "fuse.davfs2", "davfs",
                        "virtiofs", "fuse.rclone", "lustre", "ocfs2", "gfs2", "fuse.s3fs",
                        "fuse.gvfsd-fuse", "ncpfs", "coda"});
}

std::vector<Drive> DrivesFromMountInfo(std::string_view mountinfo, const RemovableQuery& isRemovable,
                                       const std::vector<std::string>& userFolders) {
  // Drives in mount order (C: first), with their mount points; letters last.
  struct Found {
    std::string mountPoint;
    int type;
  };
  std::vector<Found> found;
  std::map<Device, std::vector<std::string>> roots;  // of the drives so far
  for (const MountEntry& m : ParseMountInfo(mountinfo)) {
    if (m.mountPoint == "/") {
      // The root filesystem is always the fixed drive C:, whatever it is
      // (ext4 on a desktop, overlay in a container). A later mount over "/"
      // replaces the earlier one.
      found.erase(std::remove_if(found.begin(), found.end(),
                                 [](const Found& f) { return f.mountPoint == "/"; }),
                  found.end());
      found.insert(found.begin(), {"/", kDriveFixed});
      roots[{m.major, m.minor}].push_back(m.root);
      continue;
    }
    if (IsSystemMountPoint(m.mountPoint) || IsSnapshotFolder(m.mountPoint) ||
        ShownBefore(m, roots)) {
      continue;
    }
    int type = TypeOf(m, isRemovable);
    if (type == kDriveUnknown) continue;
    roots[{m.major, m.minor}].push_back(m.root);
    found.push_back({m.mountPoint, type});
  }
  // The user's own drives right after C:, the rest in mount order.
  std::stable_partition(found.begin(), found.end(), [&](const Found& f) {
    return f.mountPoint == "/" || HoldsAny(f.mountPoint, userFolders);
  });
  std::vector<Drive> drives;
  char letter = 'C';
  for (const Found& f : found) {
    if (letter > 'Z') break;
    drives.push_back({letter++, f.mountPoint == "/" ? "/" : f.mountPoint + "/", f.type});
  }
  return drives;
}

MountPoints::MountPoints(std::vector<MountEntry> entries) : entries_(std::move(entries)) {
  for (const MountEntry& m : entries_) {
    points_.insert(m.mountPoint);
    std::size_t slash = m.mountPoint.rfind('/');
    if (slash != std::string::npos && m.mountPoint.size() > 1) {
      holders_.insert(slash == 0 ? std::string("/") : m.mountPoint.substr(0, slash));
    }
  }
}

MountPoints MountPoints::Current() {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  return MountPoints(ParseMountInfo(text.str()));
}

const MountEntry* MountPoints::MountOf(std::string_view path) const {
  // Later mounts cover earlier ones on the same point.
  const MountEntry* best = nullptr;
  for (const MountEntry& m : entries_) {
    if (IsAtOrBelow(path, m.mountPoint) &&
        (!best || m.mountPoint.size() >= best->mountPoint.size())) {
      best = &m;
    }
  }
  return best;
}

}  // namespace ravo::platform
