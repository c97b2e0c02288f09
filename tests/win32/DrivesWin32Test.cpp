// Drive letters and types as Windows reports them, asked at every use.
#include <gtest/gtest.h>

#include "fsutil/velFile.h"
#include "platform/ChangePort.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "tests/support/TestSupport.h"
#include "tests/win32/Win32TestSupport.h"

namespace ravo::platform {
namespace {

// A letter no drive has.
char FreeLetter() {
  DWORD mask = GetLogicalDrives();
  for (char letter = 'Z'; letter >= 'D'; --letter) {
    if (!(mask & (1u << (letter - 'A')))) return letter;
  }
  return 0;
}

TEST(SystemDrivesTest, LettersAndTypesComeFromTheSystem) {
  ResetDriveTable();
  EXPECT_EQ(LogicalDriveMask(), GetLogicalDrives());
  EXPECT_EQ(DriveTypeOf('C'), kDriveFixed);
  EXPECT_EQ(DriveRoot('C'), "C:\\");
  std::string fixed = GetFixedDrives();
  EXPECT_NE(fixed.find('C'), std::string::npos);
  for (char letter : GetDriveLetters()) {
    std::string root = std::string(1, letter) + ":\\";
    EXPECT_EQ(DriveTypeOf(letter), static_cast<int>(GetDriveTypeA(root.c_str()))) << letter;
    EXPECT_EQ(fixed.find(letter) != std::string::npos, DriveTypeOf(letter) == kDriveFixed)
        << letter;
  }
}

TEST(SystemDrivesTest, ALetterWithoutADriveHasNoRootAndItsRootNamesNothing) {
  ResetDriveTable();
  char letter = FreeLetter();
  ASSERT_NE(letter, 0);
  EXPECT_EQ(DriveTypeOf(letter), kDriveNoRoot);
  EXPECT_FALSE(QueryFile(DriveRoot(letter)).exists);
  EXPECT_EQ(ChangeDirectory::Open(DriveRoot(letter), {}), nullptr);
}

// A drive that appears while the program runs (here a folder given a letter,
// as SUBST does) is seen at once, and so is its going.
TEST(SystemDrivesTest, ADriveThatComesAndGoesIsSeenAtOnce) {
  ResetDriveTable();
  test::TempDir dir;
  char letter = FreeLetter();
  ASSERT_NE(letter, 0);
  std::string device = std::string(1, letter) + ":";
  ASSERT_TRUE(DefineDosDeviceA(0, device.c_str(), dir.Path().c_str()));
  EXPECT_NE(GetDriveLetters().find(letter), std::string::npos);
  EXPECT_EQ(DriveRoot(letter), device + "\\");
  ASSERT_TRUE(DefineDosDeviceA(DDD_REMOVE_DEFINITION, device.c_str(), nullptr));
  EXPECT_EQ(GetDriveLetters().find(letter), std::string::npos);
}

TEST(DriveTableTest, AReplacementTableIsUsedUntilReset) {
  SetDriveTable({Drive{'C', "C:\\data\\", kDriveFixed}, Drive{'E', "E:\\", kDriveCdRom}});
  EXPECT_EQ(GetDriveLetters(), "CE");
  EXPECT_EQ(GetFixedDrives(), "C");
  EXPECT_EQ(DriveRoot('C'), "C:\\data\\");
  EXPECT_EQ(DriveTypeOf('D'), kDriveNoRoot);
  EXPECT_FALSE(QueryFile(DriveRoot('D')).exists);
  ResetDriveTable();
  EXPECT_EQ(LogicalDriveMask(), GetLogicalDrives());
}

}  // namespace
}  // namespace ravo::platform
