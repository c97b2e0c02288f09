// Builds a drive table from the text of /proc/self/mountinfo.
//
// The root filesystem "/" is drive C:, further storage mounts get D:, E:, ...
// in mount order (Z: at most). Pseudo filesystems and mounts below /proc,
// /sys, /dev and /run (except /run/media) are no drives; a filesystem that
// is mounted twice counts once.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "platform/Drives.h"

namespace ravo::platform {

// Answers whether the block device major:minor is marked removable.
using RemovableQuery = std::function<bool(unsigned major, unsigned minor)>;

std::vector<Drive> DrivesFromMountInfo(std::string_view mountinfo, const RemovableQuery& isRemovable);

}  // namespace ravo::platform
