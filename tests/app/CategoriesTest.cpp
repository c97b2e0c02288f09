#include <gtest/gtest.h>

#include "app/Categories.h"

namespace ravo {
namespace {

TEST(CategoriesTest, MembershipIsALowerCasedSubstringTest) {
  struct Case {
    const char* type;
    std::string_view list;
    bool member;
  } cases[] = {
      {".mp3", kMusicExts, true},   {".MP3", kMusicExts, true},    {".mp", kMusicExts, true},
      {".acc", kMusicExts, true},   {".aac", kMusicExts, false},   {"", kMusicExts, false},
      {".jpeg", kPictureExts, true}, {".jpe", kPictureExts, true}, {".rm", kVideoExts, true},
      {".mpeg", kVideoExts, false}, {".rmvb", kVideoExts, false},  {".swf", kFlashExts, true},
      {";", kVideoExts, true},  // separators are part of the text the test looks at
      {".webp", kModernExts, true}, {".WEBM", kModernExts, true}, {".opus", kModernExts, true},
      {".aac", kModernExts, true},  {".m4", kModernExts, true},   {".mp4", kModernExts, false},
      {".ogv", kModernExts, false},
  };
  for (const Case& c : cases) EXPECT_EQ(BelongsTo(c.type, c.list), c.member) << c.type;
}

TEST(CategoriesTest, OnlyTickedCategoriesCount) {
  CategorySelection none{false, false, false, false, false};
  EXPECT_FALSE(BelongsToTicked(".jpg", none));
  CategorySelection pictures{false, false, false, true, false};
  EXPECT_TRUE(BelongsToTicked(".JPG", pictures));
  EXPECT_FALSE(BelongsToTicked(".mp3", pictures));
  EXPECT_FALSE(BelongsToTicked(".webp", pictures));
  CategorySelection modern{false, false, false, false, true};
  EXPECT_TRUE(BelongsToTicked(".webp", modern));
  EXPECT_FALSE(BelongsToTicked(".jpg", modern));
  EXPECT_TRUE(BelongsToTicked(".avif", CategorySelection{}));  // ticked at start
}

TEST(CategoriesTest, TickedListsAreJoinedWithNothingBetween) {
  EXPECT_EQ(JoinTickedLists({true, true, false, false, false}),
            ".wav;.mp3,.wma,.acc.avi;.mp4,.f4v,.flv;.wmv;.mov,.asf,.3gp,.mpg;.vob;.rm;.mov;.mpe");
  EXPECT_EQ(JoinTickedLists({false, false, true, true, false}), ".swf.jpg;.jpeg;.bmp;.png;.gif;.psd;.svg");
  EXPECT_EQ(JoinTickedLists({false, false, false, false, false}), "");
  EXPECT_EQ(JoinTickedLists({false, false, false, true, true}),
            ".jpg;.jpeg;.bmp;.png;.gif;.psd;.svg"
            ".webp;.avif;.heic;.heif;.webm;.mkv;.ogg;.oga;.opus;.flac;.m4a;.m4v;.aac");
  // The join makes ".acc.avi" a list member too.
  EXPECT_TRUE(BelongsTo(".acc.a", JoinTickedLists({true, true, false, false, false})));
}

}  // namespace
}  // namespace ravo
