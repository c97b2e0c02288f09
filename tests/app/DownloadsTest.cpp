#include <gtest/gtest.h>

#include "app/Downloads.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

TEST(DownloadsTest, AFreeNameNeverOverwritesAndKeepsTheExtension) {
  test::TempDir dir;
  for (const char* taken : {"film.mp4", "film (1).mp4", "archive.tar.gz", "README", ".hidden"}) {
    dir.Write(taken, "x");
  }
  struct Case {
    const char* suggested;
    const char* name;
  } cases[] = {
      {"photo.webp", "photo.webp"},
      {"film.mp4", "film (2).mp4"},
      {"archive.tar.gz", "archive.tar (1).gz"},
      {"README", "README (1)"},
      {".hidden", ".hidden (1)"},
      {"../../etc/passwd", "passwd"},  // a page names no folder
      {"..", "download"},
      {"", "download"},
      {"\tsong.mp3\r\n", "song.mp3"},
  };
  for (const Case& c : cases) EXPECT_EQ(FreeSaveName(dir.Path(), c.suggested), c.name) << c.suggested;
}

TEST(DownloadsTest, TheDownloadFolderIsTheUsersOwn) {
  UserEnvironment env{"/home/ann", "", "", "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n"};
  EXPECT_EQ(DownloadFolder(env), "/home/ann/下载");
  env.userDirsText = "XDG_DOWNLOAD_DIR=\"$HOME\"\n";  // not set up
  EXPECT_EQ(DownloadFolder(env), "/home/ann/Downloads");
  EXPECT_EQ(DownloadFolder(UserEnvironment{}), "");
}

}  // namespace
}  // namespace ravo
