// Walks and watches on a real btrfs filesystem laid out as Fedora lays out
// its disk: the subvolume "root" and the subvolume "home" mounted at two
// places, an unmounted subvolume inside a folder, and another filesystem
// mounted inside. Runs as root in a private mount namespace, on a loop
// file; skips where the kernel or the machine refuses.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>

#include "fsutil/velFindFile.h"
#include "platform/ChangePort.h"
#include "platform/Drives.h"
#include "platform/Process.h"
#include "tests/support/ShellCommand.h"
#include "tests/support/TestSupport.h"
#include "tests/watch/ChangeCollector.h"
#include "tests/watch/FileClock.h"

namespace ravo {
namespace {

// A failed set-up command says what it printed.
bool Shell(const std::string& command, std::string* output = nullptr) {
  std::string text;
  bool ok = test::Shell(command, &text);
  if (!ok) std::fprintf(stderr, "%s: %s", command.c_str(), text.c_str());
  if (output) *output = text;
  return ok;
}

class MountBoundaryTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (::geteuid() != 0) {
      skip_ = "needs root (a private mount namespace and a loop device)";
      return;
    }
    // Mounts made from here on are this process's own and go with it.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      skip_ = "the kernel refuses a private mount namespace";
      return;
    }
    dir_ = new test::TempDir();
    const test::TempDir& d = *dir_;
    std::string image = d / "disk.img";
    if (!Shell("truncate -s 300M '" + image + "' && mkfs.btrfs -q '" + image + "'") ||
        !Shell("mkdir -p '" + (d / "top") + "' '" + (d / "root") + "' '" + (d / "home") + "'") ||
        !Shell("mount -o loop '" + image + "' '" + (d / "top") + "'")) {
      skip_ = "btrfs on a loop device cannot be made here (mkfs.btrfs, loop devices, btrfs module)";
      return;
    }
    bool made = Shell("btrfs -q subvolume create '" + (d / "top/root") + "'") &&
                Shell("btrfs -q subvolume create '" + (d / "top/home") + "'") &&
                Shell("mkdir -p '" + (d / "top/root/data") + "' '" + (d / "top/root/inner") + "'") &&
                Shell("btrfs -q subvolume create '" + (d / "top/root/data/sub") + "'");
    std::string device;
    made = made && Shell("findmnt -n -o SOURCE '" + (d / "top") + "'", &device);
    while (!device.empty() && device.back() == '\n') device.pop_back();
    made = made && Shell("mount -o subvol=root '" + device + "' '" + (d / "root") + "'") &&
           Shell("mount -o subvol=home '" + device + "' '" + (d / "home") + "'") &&
           Shell("umount '" + (d / "top") + "'") &&
           Shell("mount -t tmpfs none '" + (d / "root/inner") + "'");
    if (!made) {
      skip_ = "btrfs subvolumes could not be made and mounted";
      return;
    }
    test::WriteFile(d / "root/top.jpg", "j");
    test::WriteFile(d / "root/data/sub/in-subvolume.jpg", "j");
    test::WriteFile(d / "root/inner/other-filesystem.jpg", "j");
    test::WriteFile(d / "home/ann/Downloads/film.mp4", "m");
    platform::WaitUntilFileClockPasses(d / "home/ann/Downloads/film.mp4");
  }

  static void TearDownTestSuite() {
    if (dir_) {
      for (const char* m : {"root/inner", "root", "home", "top"}) {
        ::umount2((*dir_ / m).c_str(), MNT_DETACH);
      }
    }
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
  }

  static std::string Path(const std::string& rel) { return *dir_ / rel; }

  static inline std::string skip_;
  static inline test::TempDir* dir_ = nullptr;
};

TEST_F(MountBoundaryTest, BothSubvolumesAreFixedDrives) {
  std::set<std::string> fixed;
  for (const platform::Drive& drive : platform::CurrentDrives()) {
    if (drive.type == platform::kDriveFixed) fixed.insert(drive.root);
  }
  EXPECT_EQ(fixed.count(Path("root") + "/"), 1u);
  EXPECT_EQ(fixed.count(Path("home") + "/"), 1u);

  std::string table;
  ASSERT_TRUE(Shell(platform::ExecutableDir() + "ravo-scan --drives", &table));
  EXPECT_NE(table.find("\tfixed\t" + Path("root") + "/\n"), std::string::npos) << table;
  EXPECT_NE(table.find("\tfixed\t" + Path("home") + "/\n"), std::string::npos) << table;
}

// The walk goes into the unmounted subvolume (a device number of its own)
// and stops at the filesystem mounted inside.
TEST_F(MountBoundaryTest, TheWalkEntersSubvolumesAndStopsAtMountPoints) {
  std::set<std::string> files;
  FindFiles(Path("root"), ".jpg", [&](const std::string& path, std::int32_t kind, bool&) {
    if (kind == kFoundMatch) files.insert(path.substr(Path("root").size()));
  });
  EXPECT_EQ(files, (std::set<std::string>{"/top.jpg", "/data/sub/in-subvolume.jpg"}));

  std::string listed;
  ASSERT_TRUE(Shell(platform::ExecutableDir() + "ravo-scan --categories video '" + Path("home") + "'",
                  &listed));
  EXPECT_NE(listed.find(".mp4\t" + Path("home") + "/ann/Downloads/film.mp4"), std::string::npos)
      << listed;
}

TEST_F(MountBoundaryTest, TheWatchEntersSubvolumesAndStopsAtMountPoints) {
  auto dir = platform::ChangeDirectory::Open(Path("root"), {});
  ASSERT_TRUE(dir);
  platform::ChangeCollector collector(*dir);
  ASSERT_TRUE(test::WaitFor([&] { return collector.SawNotice("已开始监视"); }));
  test::WriteFile(Path("root/inner/unseen.jpg"), "x");
  test::WriteFile(Path("root/data/sub/new.jpg"), "x");
  test::WriteFile(Path("root/sentinel"), "");
  platform::ChangeCollector::Records expected{{platform::kChangeAdded, "data/sub/new.jpg"}};
  EXPECT_EQ(collector.Until({platform::kChangeAdded, "sentinel"}), expected);
}

}  // namespace
}  // namespace ravo
