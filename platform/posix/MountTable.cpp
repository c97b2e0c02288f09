#include "platform/posix/MountTable.h"

#include <algorithm>
#include <array>
#include <set>
#include <sstream>
#include <string>
#include <utility>

namespace ravo::platform {
namespace {

struct MountLine {
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;        // the part of the filesystem that is mounted
  std::string mountPoint;
  std::string fsType;
  std::string source;
};

// mountinfo escapes space, tab, newline and back slash as \ooo.
std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      out.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8)));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

bool ParseLine(const std::string& line, MountLine& out) {
  std::istringstream in(line);
  std::string id, parent, devNumbers, root, mountPoint, options, word;
  if (!(in >> id >> parent >> devNumbers >> root >> mountPoint >> options)) return false;
  while (in >> word && word != "-") {
  }
  if (word != "-" || !(in >> out.fsType >> out.source)) return false;
  auto colon = devNumbers.find(':');
  if (colon == std::string::npos) return false;
  out.major = static_cast<unsigned>(std::stoul(devNumbers.substr(0, colon)));
  out.minor = static_cast<unsigned>(std::stoul(devNumbers.substr(colon + 1)));
  out.root = Unescape(root);
  out.mountPoint = Unescape(mountPoint);
  return true;
}

bool IsBelow(const std::string& path, const std::string& dir) {
  return path == dir || path.rfind(dir + "/", 0) == 0;
}

bool IsSystemMountPoint(const std::string& mountPoint) {
  if (IsBelow(mountPoint, "/run/media")) return false;
  for (const char* dir : {"/proc", "/sys", "/dev", "/run"}) {
    if (IsBelow(mountPoint, dir)) return true;
  }
  return false;
}

bool OneOf(const std::string& value, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return value == n; });
}

// Filesystems that live on local disks even where mountinfo shows no block
// device number (btrfs and zfs report anonymous device numbers).
bool IsDiskFilesystem(const std::string& fsType) {
  return OneOf(fsType, {"ext2", "ext3", "ext4", "xfs", "btrfs", "zfs", "f2fs", "jfs", "reiserfs",
                        "vfat", "exfat", "ntfs", "ntfs3", "fuseblk", "hfsplus", "nilfs2"});
}

bool IsRemoteFilesystem(const std::string& fsType) {
  return OneOf(fsType, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ceph", "glusterfs",
                        "fuse.sshfs", "sshfs", "fuse.glusterfs", "fuse.davfs2", "davfs",
                        "virtiofs", "fuse.rclone", "lustre", "ocfs2", "gfs2"});
}

// The drive type of a line, or kDriveUnknown when the mount is no drive.
int TypeOf(const MountLine& m, const RemovableQuery& isRemovable) {
  // Read-only images of software (snaps, live systems) hold no user files.
  if (m.fsType == "squashfs" || m.fsType == "erofs") return kDriveUnknown;
  if (m.fsType == "iso9660" || m.fsType == "udf" || m.source.rfind("/dev/sr", 0) == 0) {
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

}  // namespace

std::vector<Drive> DrivesFromMountInfo(std::string_view mountinfo, const RemovableQuery& isRemovable) {
  std::vector<Drive> drives;
  std::set<std::pair<unsigned, unsigned>> seenDevices;
  char nextLetter = 'D';
  std::istringstream lines{std::string(mountinfo)};
  std::string line;
  while (std::getline(lines, line)) {
    MountLine m;
    if (!ParseLine(line, m)) continue;
    if (m.mountPoint == "/") {
      // The root filesystem is always the fixed drive C:, whatever it is
      // (ext4 on a desktop, overlay in a container). A later mount over "/"
      // replaces the earlier one.
      drives.erase(std::remove_if(drives.begin(), drives.end(),
                                  [](const Drive& d) { return d.letter == 'C'; }),
                   drives.end());
      drives.push_back({'C', "/", kDriveFixed});
      seenDevices.insert({m.major, m.minor});
      continue;
    }
    if (IsSystemMountPoint(m.mountPoint)) continue;
    // A bind mount of a part of a filesystem (root other than "/"), and a
    // filesystem that is already a drive, are the same storage again.
    if (m.root != "/" || seenDevices.count({m.major, m.minor}) != 0) continue;
    int type = TypeOf(m, isRemovable);
    if (type == kDriveUnknown || nextLetter > 'Z') continue;
    seenDevices.insert({m.major, m.minor});
    drives.push_back({nextLetter++, m.mountPoint + "/", type});
  }
  std::sort(drives.begin(), drives.end(),
            [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  return drives;
}

}  // namespace ravo::platform
