// Linux drive table: read from /proc/self/mountinfo at every use (storage
// comes and goes), or a replacement table.
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/Drives.h"
#include "platform/posix/MountTable.h"

namespace ravo::platform {
namespace {

std::mutex gTableMutex;
std::optional<std::vector<Drive>> gTable;

bool ReadFlag(const std::string& path) {
  std::ifstream in(path);
  int value = 0;
  return in >> value && value != 0;
}

// sysfs marks a whole disk removable; a partition inherits its disk's mark.
bool IsRemovableDevice(unsigned major, unsigned minor) {
  std::string dir = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  return ReadFlag(dir + "/removable") || ReadFlag(dir + "/../removable");
}

std::vector<Drive> SystemTable() {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> userFolders;
  if (const char* home = std::getenv("HOME"); home && *home == '/') userFolders.emplace_back(home);
  return DrivesFromMountInfo(text.str(), IsRemovableDevice, userFolders);
}

}  // namespace

std::vector<Drive> CurrentDrives() {
  {
    std::lock_guard lock(gTableMutex);
    if (gTable) return *gTable;
  }
  return SystemTable();
}

std::uint32_t LogicalDriveMask() {
  std::uint32_t mask = 0;
  for (const Drive& d : CurrentDrives()) mask |= 1u << (d.letter - 'A');
  return mask;
}

int DriveTypeOf(char letter) {
  for (const Drive& d : CurrentDrives()) {
    if (d.letter == letter) return d.type;
  }
  return kDriveNoRoot;
}

std::string DriveRoot(char letter) {
  for (const Drive& d : CurrentDrives()) {
    if (d.letter == letter) return d.root;
  }
  // /dev/null is no directory, so nothing can ever exist below it.
  return std::string("/dev/null/") + letter + ":/";
}

void SetDriveTable(std::vector<Drive> drives) {
  std::lock_guard lock(gTableMutex);
  gTable = std::move(drives);
}

void ResetDriveTable() {
  std::lock_guard lock(gTableMutex);
  gTable.reset();
}

}  // namespace ravo::platform
