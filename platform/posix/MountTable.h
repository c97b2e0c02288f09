// The mount table: the lines of /proc/self/mountinfo, the drive table built
// from them, and the mount points that walks and watches stop at.
//
// Drives: the root filesystem "/" is drive C:, further local storage gets
// D:, E:, ... (Z: at most); the drives that hold the user's own folders come
// right after C:, the others follow in mount order. A mount is a further
// drive when no earlier drive already shows its tree: a filesystem mounted
// a second time is no drive, unless it is a btrfs subvolume that no earlier
// drive of the same filesystem holds (Fedora's "/root" and "/home", Ubuntu's
// "/@" and "/@home" are two drives; a bind mount of a folder inside one is
// none). Pseudo filesystems, software images, snapshot folders
// (/.snapshots) and mounts below /proc, /sys, /dev and /run (except
// /run/media) are no drives.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Drives.h"

namespace ravo::platform {

// One line of mountinfo.
struct MountEntry {
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;  // the part of the filesystem that is mounted
  std::string mountPoint;
  std::string fsType;
  std::string source;
};

// The lines of mountinfo in order; a line that cannot be read is skipped.
// At most kMaxMountLines lines are read.
inline constexpr std::size_t kMaxMountLines = 100000;
std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo);

// Network filesystems (NFS, SMB, sshfs and the like): a walk never enters
// them, since any look at them may wait for a server.
bool IsRemoteFilesystem(std::string_view fsType);

// Answers whether the block device major:minor is marked removable.
using RemovableQuery = std::function<bool(unsigned major, unsigned minor)>;

// `userFolders`: folders of the user (the home folder); the drives that
// hold them get the letters right after C:.
std::vector<Drive> DrivesFromMountInfo(std::string_view mountinfo, const RemovableQuery& isRemovable,
                                       const std::vector<std::string>& userFolders = {});

// Where the mounts are, for walks that must not cross into another one:
// every mount point, and the mount that holds a path.
class MountPoints {
 public:
  MountPoints() = default;
  explicit MountPoints(std::vector<MountEntry> entries);

  // The system's table now (/proc/self/mountinfo); empty when unreadable.
  static MountPoints Current();

  // True when something is mounted on exactly this absolute path (without
  // a trailing separator, except "/").
  bool IsMountPoint(const std::string& path) const { return points_.count(path) != 0; }

  // True when something is mounted on an entry of the directory at this
  // absolute path: only then need its entries be checked one by one.
  bool HoldsMountPoints(const std::string& dir) const { return holders_.count(dir) != 0; }

  // The last mount whose mount point holds the absolute path; null when none
  // does. Found from the table alone: the path itself is never looked at.
  const MountEntry* MountOf(std::string_view path) const;

 private:
  std::vector<MountEntry> entries_;
  std::unordered_set<std::string> points_;
  std::unordered_set<std::string> holders_;  // the folders the mount points lie in
};

}  // namespace ravo::platform
