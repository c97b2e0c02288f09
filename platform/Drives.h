// The drive table: the letters C: to Z: and what lies behind them.
//
// Windows has drive letters; Linux gets a table built from the mount table
// (see MountTable.h). Tests and the GUI tests replace the process's table to
// point drives at temporary directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ravo::platform {

// Drive types as the platform numbers them.
enum DriveType : int {
  kDriveUnknown = 0,
  kDriveNoRoot = 1,
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdRom = 5,
  kDriveRamDisk = 6,
};

struct Drive {
  char letter = 0;   // 'A'..'Z'
  std::string root;  // the drive's root directory, with a trailing separator
  int type = kDriveUnknown;
};

// Bit i set: the drive with letter 'A' + i exists.
std::uint32_t LogicalDriveMask();

// The type of the drive with this letter; kDriveNoRoot when there is none.
int DriveTypeOf(char letter);

// The root directory of the drive with this letter, with a trailing
// separator. For a letter without a drive: a path that names nothing and
// never can, so that whatever is pointed at it stays silent.
std::string DriveRoot(char letter);

// Replaces the process's drive table (tests; pointing drives at folders).
void SetDriveTable(std::vector<Drive> drives);

// Drops a replacement: the system's own table is in force again.
void ResetDriveTable();

// The table in force.
std::vector<Drive> CurrentDrives();

}  // namespace ravo::platform
