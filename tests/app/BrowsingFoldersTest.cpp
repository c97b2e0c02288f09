#include <gtest/gtest.h>

#include <algorithm>

#include "app/BrowsingFolders.h"

namespace ravo {
namespace {

TEST(BrowsingFoldersTest, UserDirsAreReadLineByLineAndOddLinesSkipped) {
  const char text[] =
      "# written by xdg-user-dirs-update\n"
      "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n"
      "XDG_PICTURES_DIR=\"/data/照片/\"\n"
      "XDG_MUSIC_DIR=\"relative/music\"\n"  // neither $HOME nor absolute
      "XDG_VIDEOS_DIR=$HOME/Videos\n"       // no quotes
      "XDG__DIR=\"$HOME/x\"\n"              // no name
      "XDG_TEMPLATES_DIR=\"$HOME\"\n"
      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"";  // last line without a newline
  std::map<std::string, std::string> dirs = ParseUserDirs(text, "/home/ann");
  std::map<std::string, std::string> expected{{"DOWNLOAD", "/home/ann/下载"},
                                              {"PICTURES", "/data/照片"},
                                              {"TEMPLATES", "/home/ann"},
                                              {"DESKTOP", "/home/ann/Desktop"}};
  EXPECT_EQ(dirs, expected);
  EXPECT_TRUE(ParseUserDirs(text, "").count("DOWNLOAD") == 0);  // $HOME unknown
}

TEST(BrowsingFoldersTest, CachesFirstThenTheMediaFoldersThenHome) {
  UserEnvironment env{"/home/ann", "", "", "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\nXDG_MUSIC_DIR=\"$HOME\"\n"};
  std::vector<std::string> folders = BrowsingFolders(env, "/home/ann/.cache/ravo/QtWebEngine/ravo");
  auto at = [&](const std::string& f) {
    return std::find(folders.begin(), folders.end(), f) - folders.begin();
  };
  ASSERT_EQ(folders.front(), "/home/ann/.cache/ravo/QtWebEngine/ravo");
  EXPECT_EQ(folders.back(), "/home/ann");
  EXPECT_LT(at("/home/ann/.cache/google-chrome"), at("/home/ann/下载"));
  EXPECT_LT(at("/home/ann/.cache/mozilla/firefox"), at("/home/ann/下载"));
  EXPECT_LT(at("/home/ann/snap/firefox/common/.cache/mozilla/firefox"), at("/home/ann/下载"));
  EXPECT_LT(at("/home/ann/下载"), at("/home/ann/Pictures"));  // the default where none is set
  EXPECT_LT(at("/home/ann/Pictures"), at("/home/ann/Videos"));
  EXPECT_EQ(std::count(folders.begin(), folders.end(), "/home/ann"), 1);  // music is $HOME

  env.cacheHome = "/var/cache/ann";
  folders = BrowsingFolders(env, "");
  EXPECT_EQ(folders.front(), "/var/cache/ann/ravo");
  EXPECT_NE(std::find(folders.begin(), folders.end(), "/var/cache/ann/chromium"), folders.end());
  EXPECT_TRUE(BrowsingFolders(UserEnvironment{}, "").empty());
}

}  // namespace
}  // namespace ravo
