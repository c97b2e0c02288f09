// Arbitrary bytes as the text of /proc/self/mountinfo: parsed into mount
// entries, turned into the drive table (with a removable-device answer and
// user folders taken from the input), and asked where paths are mounted.
//
// The drive table must keep its shape whatever the text: letters from C: on
// without a gap and at most to Z:, "/" as the fixed drive C: whenever
// something is mounted there, roots that are mount points with a trailing
// separator, the user's drives right after C:. The mount that holds a path
// is the deepest mount point above it, the last one mounted there.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/Drives.h"
#include "platform/posix/MountTable.h"

namespace {

using ravo::fuzz::Expect;
using ravo::platform::Drive;
using ravo::platform::MountEntry;

// Mount points asked about per input: MountOf walks every entry, and a long
// text holds thousands of lines.
constexpr std::size_t kPathQueries = 64;

// True when path is dir or lies below it.
bool Holds(std::string_view dir, std::string_view path) {
  if (dir == "/") return path.starts_with('/');
  return path.starts_with(dir) && (path.size() == dir.size() || path[dir.size()] == '/');
}

// The mount point a drive root stands for.
std::string MountPointOf(const Drive& drive) {
  return drive.root == "/" ? drive.root : drive.root.substr(0, drive.root.size() - 1);
}

void CheckDrives(const std::vector<Drive>& drives, const std::vector<MountEntry>& entries,
                 const std::vector<std::string>& userFolders) {
  using namespace ravo::platform;
  Expect(drives.size() <= 24, "at most the letters C: to Z:");
  Expect(drives.size() <= entries.size(), "each drive comes from a mount entry");
  bool rootMounted = std::any_of(entries.begin(), entries.end(),
                                 [](const MountEntry& e) { return e.mountPoint == "/"; });
  if (rootMounted) {
    Expect(!drives.empty() && drives[0].root == "/" && drives[0].type == kDriveFixed,
           "the root filesystem is the fixed drive C:");
  }
  bool userDrives = true;  // still in the part right after C:
  for (std::size_t i = 0; i < drives.size(); ++i) {
    const Drive& d = drives[i];
    Expect(d.letter == static_cast<char>('C' + i), "letters follow from C: without a gap");
    Expect(!d.root.empty() && d.root.back() == '/', "a drive root ends with a separator");
    Expect(d.type == kDriveRemovable || d.type == kDriveFixed || d.type == kDriveRemote ||
               d.type == kDriveCdRom || d.type == kDriveRamDisk,
           "a drive has a known type");
    if (d.root == "/") {
      Expect(i == 0, "only C: is the root filesystem");
      continue;
    }
    std::string mountPoint = MountPointOf(d);
    Expect(std::any_of(entries.begin(), entries.end(),
                       [&](const MountEntry& e) { return e.mountPoint == mountPoint; }),
           "a drive root is a mount point");
    bool holdsUserFolder = std::any_of(userFolders.begin(), userFolders.end(),
                                       [&](const std::string& f) { return Holds(mountPoint, f); });
    if (!holdsUserFolder) userDrives = false;
    Expect(!holdsUserFolder || userDrives, "the user's drives come right after C:");
  }
}

void CheckMountOf(const ravo::platform::MountPoints& points,
                  const std::vector<MountEntry>& entries, const std::string& path) {
  const MountEntry* expected = nullptr;
  for (const MountEntry& e : entries) {
    if (Holds(e.mountPoint, path) &&
        (!expected || e.mountPoint.size() >= expected->mountPoint.size())) {
      expected = &e;
    }
  }
  // MountPoints keeps its own copy of the entries: compared by content.
  const MountEntry* found = points.MountOf(path);
  Expect((found == nullptr) == (expected == nullptr) &&
             (!found || (found->major == expected->major && found->minor == expected->minor &&
                         found->root == expected->root &&
                         found->mountPoint == expected->mountPoint &&
                         found->fsType == expected->fsType && found->source == expected->source)),
         "a path's mount is the deepest mount point above it, the last one mounted there");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravo::platform;
  std::string_view text(reinterpret_cast<const char*>(data), size);

  std::vector<MountEntry> entries = ParseMountInfo(text);
  std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  Expect(entries.size() <= std::min(lines, kMaxMountLines), "at most one entry per line");
  for (const MountEntry& e : entries) {
    Expect(!e.root.empty() && e.mountPoint.starts_with('/') && !e.fsType.empty() &&
               !e.source.empty(),
           "an entry has a root, an absolute mount point, a type and a source");
  }

  // Which devices are removable, and where the user's folders are, both
  // follow from the input.
  const unsigned seed = size == 0 ? 0 : data[0];
  RemovableQuery removable = [seed](unsigned major, unsigned minor) {
    return ((major ^ minor ^ seed) & 1) != 0;
  };
  std::vector<std::string> userFolders = {"/home/u"};
  if (!entries.empty()) userFolders.push_back(entries[entries.size() / 2].mountPoint + "/u");

  std::vector<Drive> drives = DrivesFromMountInfo(text, removable, userFolders);
  CheckDrives(drives, entries, userFolders);

  // Without an answer about removable devices the same drives come, fixed
  // where they were removable.
  std::vector<Drive> unasked = DrivesFromMountInfo(text, nullptr, userFolders);
  Expect(unasked.size() == drives.size(), "the removable answer changes no drive's presence");
  for (std::size_t i = 0; i < drives.size() && i < unasked.size(); ++i) {
    Expect(unasked[i].root == drives[i].root, "the removable answer changes no drive's place");
    Expect(unasked[i].type ==
               (drives[i].type == kDriveRemovable ? static_cast<int>(kDriveFixed) : drives[i].type),
           "without the answer a removable drive is fixed");
  }

  MountPoints points(entries);
  for (std::size_t i = 0; i < entries.size() && i < kPathQueries; ++i) {
    const std::string& mountPoint = entries[i].mountPoint;
    Expect(points.IsMountPoint(mountPoint), "every entry's mount point is one");
    CheckMountOf(points, entries, mountPoint);
    CheckMountOf(points, entries, mountPoint + "/below");
  }
  CheckMountOf(points, entries, "/");
  CheckMountOf(points, entries, "/home/u/music");
  Expect(points.MountOf("relative/path") == nullptr, "a relative path lies on no mount");
  if (size != 0) {
    // A path made of the input's first bytes.
    std::string path = "/" + std::string(text.substr(1, std::min<std::size_t>(size - 1, 64)));
    CheckMountOf(points, entries, path);
  }
  return 0;
}
