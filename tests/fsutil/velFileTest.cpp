#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fsutil/velFile.h"
#include "platform/Drives.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

TEST(FileSizeOfTest, GivesTheWholeLengthOfFilesAndZeroForTheRest) {
  test::TempDir dir;
  test::WriteFile(dir / "empty", "");
  test::WriteFile(dir / "small.bin", std::string(1536, 'x'));
  EXPECT_EQ(FileSizeOf(dir / "small.bin"), 1536);
  EXPECT_EQ(FileSizeOf(dir / "empty"), 0);
  EXPECT_EQ(FileSizeOf(dir / "missing"), 0);
  EXPECT_EQ(FileSizeOf(dir.Path()), 0);
  EXPECT_EQ(FileSizeOf(dir.Path() + "/"), 0);
  EXPECT_EQ(FileSizeOf(dir / "small.bin/"), 0);
  EXPECT_EQ(FileSizeOf(""), 0);
}

TEST(FileSizeOfTest, SizesAreSixtyFourBit) {
  test::TempDir dir;
  std::string path = dir / "sparse";
  test::WriteFile(path, "");
  const std::int64_t kSize = 4294967296LL + 100;  // 4 GB + 100 bytes, sparse
  ASSERT_EQ(truncate(path.c_str(), kSize), 0);
  EXPECT_EQ(FileSizeOf(path), kSize);
}

TEST(DriveLettersTest, ListAllDrivesAndTheFixedOnesInLetterOrder) {
  using platform::Drive;
  platform::SetDriveTable({Drive{'A', "/mnt/floppy/", platform::kDriveRemovable},
                           Drive{'C', "/", platform::kDriveFixed},
                           Drive{'D', "/data/", platform::kDriveFixed},
                           Drive{'E', "/media/cd/", platform::kDriveCdRom},
                           Drive{'F', "/net/", platform::kDriveRemote}});
  EXPECT_EQ(GetDriveLetters(), "ACDEF");
  EXPECT_EQ(GetFixedDrives(), "CD");
  EXPECT_EQ(platform::DriveRoot('D'), "/data/");
  // A letter without a drive names a folder that cannot exist.
  EXPECT_FALSE(platform::DriveRoot('G').empty());
  EXPECT_NE(access(platform::DriveRoot('G').c_str(), F_OK), 0);
  platform::ResetDriveTable();
  EXPECT_NE(GetFixedDrives().find('C'), std::string::npos);
}

}  // namespace
}  // namespace ravo
