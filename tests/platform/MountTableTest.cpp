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

// Fedora: one btrfs filesystem, "/" is subvolume "root", /home is "home".
// An EFI partition, and a bind mount of a folder of /home.
const char kFedora[] =
    "60 1 0:33 /root / rw,relatime shared:1 - btrfs /dev/nvme0n1p3 rw,subvol=/root\n"
    "61 60 0:5 / /dev rw shared:2 - devtmpfs devtmpfs rw\n"
    "90 60 259:1 / /boot/efi rw shared:60 - vfat /dev/nvme0n1p1 rw\n"
    "91 60 0:33 /home /home rw,relatime shared:62 - btrfs /dev/nvme0n1p3 rw,subvol=/home\n"
    "92 60 0:33 /home/ann/music /srv/music rw shared:62 - btrfs /dev/nvme0n1p3 rw\n"
    "93 60 0:40 / /mnt/nas rw shared:70 - nfs4 nas:/export rw\n"
    "94 60 0:33 /.snapshots /.snapshots rw shared:63 - btrfs /dev/nvme0n1p3 rw\n";

// Ubuntu on btrfs: subvolumes "@" and "@home".
const char kUbuntuBtrfs[] =
    "28 1 0:26 /@ / rw,relatime shared:1 - btrfs /dev/sda2 rw,subvol=/@\n"
    "29 28 8:1 / /boot/efi rw shared:20 - vfat /dev/sda1 rw\n"
    "30 28 0:26 /@home /home rw,relatime shared:21 - btrfs /dev/sda2 rw,subvol=/@home\n"
    "31 28 0:26 /@ /mnt/again rw shared:1 - btrfs /dev/sda2 rw,subvol=/@\n";

// Ubuntu on ZFS: a dataset per system folder, the user's home among the
// last mounted, and a bind mount of a folder of it.
const char kUbuntuZfs[] =
    "25 1 0:24 / / rw shared:1 - zfs rpool/ROOT/ubuntu_a rw\n"
    "40 25 0:41 / /boot rw shared:5 - zfs bpool/BOOT/ubuntu_a rw\n"
    "41 25 0:42 / /srv rw shared:6 - zfs rpool/ROOT/ubuntu_a/srv rw\n"
    "42 25 0:43 / /usr/local rw shared:7 - zfs rpool/ROOT/ubuntu_a/usr/local rw\n"
    "43 25 0:44 / /var/lib rw shared:8 - zfs rpool/ROOT/ubuntu_a/var/lib rw\n"
    "44 25 0:45 / /var/log rw shared:9 - zfs rpool/ROOT/ubuntu_a/var/log rw\n"
    "45 25 0:46 / /var/spool rw shared:10 - zfs rpool/ROOT/ubuntu_a/var/spool rw\n"
    "46 25 0:47 / /root rw shared:11 - zfs rpool/USERDATA/root_b rw\n"
    "47 25 0:48 / /home/ann rw shared:12 - zfs rpool/USERDATA/ann_b rw\n"
    "48 25 0:48 /Videos /mnt/videos rw shared:12 - zfs rpool/USERDATA/ann_b rw\n";

TEST(MountTableTest, SubvolumesAndDatasetsAreDrivesAndTheUsersHomeComesFirst) {
  struct Case {
    const char* name;
    const char* mountinfo;
    std::vector<std::string> userFolders;
    const char* drives;
  };
  const Case cases[] = {
      {"fedora", kFedora, {"/home/ann"}, "C=/#3 D=/home/#3 E=/boot/efi/#3 F=/mnt/nas/#4 "},
      {"ubuntu-btrfs", kUbuntuBtrfs, {"/home/ann"}, "C=/#3 D=/home/#3 E=/boot/efi/#3 "},
      {"ubuntu-btrfs, no home known", kUbuntuBtrfs, {}, "C=/#3 D=/boot/efi/#3 E=/home/#3 "},
      {"ubuntu-zfs",
       kUbuntuZfs,
       {"/home/ann"},
       "C=/#3 D=/home/ann/#3 E=/boot/#3 F=/srv/#3 G=/usr/local/#3 H=/var/lib/#3 I=/var/log/#3 "
       "J=/var/spool/#3 K=/root/#3 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(DrivesFromMountInfo(c.mountinfo, nullptr, c.userFolders)), c.drives)
        << c.name;
  }
}

TEST(MountTableTest, MountPointsAndTheMountHoldingAPath) {
  MountPoints mounts(ParseMountInfo(kFedora));
  EXPECT_TRUE(mounts.IsMountPoint("/home"));
  EXPECT_TRUE(mounts.IsMountPoint("/mnt/nas"));
  EXPECT_FALSE(mounts.IsMountPoint("/home/ann"));
  ASSERT_NE(mounts.MountOf("/mnt/nas/films/a.mp4"), nullptr);
  EXPECT_TRUE(IsRemoteFilesystem(mounts.MountOf("/mnt/nas/films/a.mp4")->fsType));
  EXPECT_EQ(mounts.MountOf("/mnt/nasty")->mountPoint, "/");
  EXPECT_EQ(mounts.MountOf("/home/ann/x")->root, "/home");
  EXPECT_EQ(MountPoints().MountOf("/x"), nullptr);
}

TEST(MountTableTest, MalformedLinesAreSkippedAndLettersStopAtZ) {
  std::string text =
      "garbage\n"
      "1 2 99999999999:1 / /big rw - ext4 /dev/x rw\n"  // device number out of range
      "1 2 8:x / /bad rw - ext4 /dev/x rw\n"
      "1 2 8:1 / /nodash rw ext4 /dev/x rw\n"
      "1 2 8:1 / relative rw - ext4 /dev/x rw\n"
      "28 1 8:2 / / rw - ext4 /dev/sda2 rw\n";
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
