// Where walks and watches of a directory tree stop: at mount points (from
// the mount table, so that a mount point is never looked at), at symbolic
// links, and never on a network filesystem.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/posix/MountTable.h"

namespace ravo::platform {

// What a walk needs to know of a subdirectory.
struct Subdirectory {
  std::uint64_t device = 0;
  // When it was made (its birth time; its status change time where the
  // filesystem keeps no birth time): a folder that gets a new entry changes
  // its times, but is no new folder.
  std::int64_t bornNs = 0;
};

// The entry `name` of the open directory `dirFd`, looked at without
// following a symbolic link or triggering an automounter: a directory that
// is no mount point, or nullopt. Where the kernel does not tell mount roots
// (before Linux 5.8), a device number other than `parentDevice` counts as
// one.
std::optional<Subdirectory> CheckSubdirectory(int dirFd, const std::string& name,
                                              std::uint64_t parentDevice);

// Now, by the clock the kernel stamps files with: a file made after this
// moment never carries an earlier time (on filesystems that keep times to
// the nanosecond; see CoarseTimesMarginNs).
std::int64_t FileClockNs();

// How far a file's times may lie before the moment it was made on the
// filesystem of the open descriptor: FAT keeps times in 2-second steps.
std::int64_t CoarseTimesMarginNs(int fd);

// dir + "/" + name ("/" + name below the root).
std::string ChildPath(const std::string& dir, const std::string& name);

// The path made absolute against the working folder, with "." and ".."
// parts and repeated separators taken out, without looking at the disk.
std::string AbsolutePath(const std::string& path);

// The absolute path the open descriptor was opened as (links resolved);
// empty when the system does not say.
std::string OpenedPath(int fd);

// True when the absolute path lies on a network filesystem by the table.
bool OnRemoteFilesystem(const MountPoints& mounts, const std::string& absolutePath);

}  // namespace ravo::platform
