// Windows drives: asked of the system at every use (drives come and go), or
// a replacement table.
#include <mutex>
#include <optional>

#include "platform/Drives.h"
#include "platform/win32/Win32File.h"

namespace ravo::platform {
namespace {

std::mutex gTableMutex;
std::optional<std::vector<Drive>> gTable;

std::optional<std::vector<Drive>> Replacement() {
  std::lock_guard lock(gTableMutex);
  return gTable;
}

void Replace(std::optional<std::vector<Drive>> table) {
  std::lock_guard lock(gTableMutex);
  gTable = std::move(table);
}

std::string RootOf(char letter) { return std::string(1, letter) + ":\\"; }

const Drive* Find(const std::vector<Drive>& drives, char letter) {
  for (const Drive& d : drives) {
    if (d.letter == letter) return &d;
  }
  return nullptr;
}

}  // namespace

std::vector<Drive> CurrentDrives() {
  if (auto table = Replacement()) return *table;
  std::vector<Drive> drives;
  DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (mask & (1u << i)) {
      char letter = static_cast<char>('A' + i);
      std::string root = RootOf(letter);
      drives.push_back({letter, root, static_cast<int>(GetDriveTypeA(root.c_str()))});
    }
  }
  return drives;
}

std::uint32_t LogicalDriveMask() {
  auto table = Replacement();
  if (!table) return GetLogicalDrives();
  std::uint32_t mask = 0;
  for (const Drive& d : *table) mask |= 1u << (d.letter - 'A');
  return mask;
}

int DriveTypeOf(char letter) {
  auto table = Replacement();
  if (!table) return static_cast<int>(GetDriveTypeA(RootOf(letter).c_str()));
  const Drive* drive = Find(*table, letter);
  return drive ? drive->type : kDriveNoRoot;
}

std::string DriveRoot(char letter) {
  auto table = Replacement();
  const Drive* drive = table ? Find(*table, letter) : nullptr;
  if (drive) return drive->root;
  bool letter26 = letter >= 'A' && letter <= 'Z';
  if (!table && letter26 && (GetLogicalDrives() & (1u << (letter - 'A')))) return RootOf(letter);
  // '<' is in no file name, so nothing can ever exist below this.
  return RootOf(letter) + "<no drive>\\";
}

void SetDriveTable(std::vector<Drive> drives) { Replace(std::move(drives)); }

void ResetDriveTable() { Replace(std::nullopt); }

}  // namespace ravo::platform
