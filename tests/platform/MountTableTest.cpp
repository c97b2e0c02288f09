#include <gtest/gtest.h>

#include "platform/posix/MountTable.h"

namespace ravo::platform {
namespace {

std::string Describe(const std::vector<Drive>& drives) {
  std::string out;
  for (const Drive& d : drives) out += std::string(1, d.letter) + "=" + d.root + "#" + std::to_string(d.type) + " ";
  return out;
}

// A desktop: root and /home on one disk, a USB stick, a CD, an NFS share,
// plus the usual pseudo filesystems and a tmpfs.
const char kDesktop[] =
    "22 28 0:21 / /proc rw,relatime shared:12 - proc proc rw\n"
    "23 28 0:22 / /sys rw,relatime shared:2 - sysfs sysfs rw\n"
    "24 28 0:6 / /dev rw,relatime shared:2 - devtmpfs udev rw\n"
    "28 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "29 28 8:3 / /home rw,relatime shared:20 - ext4 /dev/sda3 rw\n"
    "30 23 0:26 / /sys/fs/cgroup rw shared:4 - cgroup2 cgroup2 rw\n"
    "31 28 0:27 / /tmp rw shared:5 - tmpfs tmpfs rw\n"
    "32 28 0:28 / /run rw shared:6 - tmpfs tmpfs rw\n"
    "33 32 8:17 / /run/media/u/USB\\040STICK rw shared:30 - vfat /dev/sdb1 rw\n"
    "34 32 11:0 / /run/media/u/DVD ro shared:31 - iso9660 /dev/sr0 ro\n"
    "35 28 0:40 / /mnt/share rw shared:32 - nfs4 server:/export rw\n"
    "36 28 8:3 /u/music /srv/music rw shared:20 - ext4 /dev/sda3 rw\n"
    "37 28 7:1 / /snap/core/1 ro shared:33 - squashfs /dev/loop1 ro\n";

TEST(MountTableTest, DesktopDrivesInMountOrderWithTheirTypes) {
  auto removable = [](unsigned major, unsigned minor) { return major == 8 && minor == 17; };
  std::vector<Drive> drives = DrivesFromMountInfo(kDesktop, removable);
  EXPECT_EQ(Describe(drives),
            "C=/#3 D=/home/#3 E=/tmp/#6 F=/run/media/u/USB STICK/#2 G=/run/media/u/DVD/#5 "
            "H=/mnt/share/#4 ");
}

// A container: overlay root, file bind mounts from the host disk, the same
// host folder bound twice, and a volume.
const char kContainer[] =
    "500 480 0:52 / / rw,relatime master:1 - overlay overlay rw,lowerdir=/l,upperdir=/u\n"
    "501 500 0:55 / /proc rw - proc proc rw\n"
    "505 500 254:0 /var/lib/docker/containers/x/hosts /etc/hosts rw - ext4 /dev/vda rw\n"
    "506 500 254:0 /var/lib/docker/containers/x/hostname /etc/hostname rw - ext4 /dev/vda rw\n"
    "507 500 254:16 / /data rw - ext4 /dev/vdb rw\n"
    "508 500 254:16 / /data2 rw - ext4 /dev/vdb rw\n"
    "509 500 0:60 / /dev/shm rw - tmpfs shm rw\n";

TEST(MountTableTest, ContainerRootIsCAndBindMountsCountOnce) {
  std::vector<Drive> drives = DrivesFromMountInfo(kContainer, nullptr);
  EXPECT_EQ(Describe(drives), "C=/#3 D=/data/#3 ");
}

TEST(MountTableTest, MalformedLinesAreSkippedAndLettersStopAtZ) {
  std::string text = "garbage\n28 1 8:2 / / rw - ext4 /dev/sda2 rw\n";
  for (int i = 0; i < 30; ++i) {
    text += std::to_string(100 + i) + " 28 8:" + std::to_string(100 + i) + " / /d" +
            std::to_string(i) + " rw - ext4 /dev/x rw\n";
  }
  std::vector<Drive> drives = DrivesFromMountInfo(text, nullptr);
  ASSERT_EQ(drives.size(), 24u);  // C to Z
  EXPECT_EQ(drives.back().letter, 'Z');
  EXPECT_EQ(drives.back().root, "/d22/");
}

}  // namespace
}  // namespace ravo::platform
