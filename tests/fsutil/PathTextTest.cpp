#include <gtest/gtest.h>

#include "fsutil/PathText.h"

namespace ravo {
namespace {

struct PathCase {
  PathSyntax syntax;
  std::string path;
  std::string name;
  std::string folder;
  std::string ext;
};

std::ostream& operator<<(std::ostream& out, const PathCase& c) { return out << c.path; }

class PathPartsTest : public testing::TestWithParam<PathCase> {};

TEST_P(PathPartsTest, SplitsNameFolderAndExtension) {
  const PathCase& c = GetParam();
  EXPECT_EQ(NameOf(c.path, c.syntax), c.name);
  EXPECT_EQ(FolderOf(c.path, c.syntax), c.folder);
  EXPECT_EQ(ExtOf(c.path, c.syntax), c.ext);
}

// "\xB1\x5C" is a GBK character whose trail byte is a back slash; "\xD5\xC5"
// an ordinary one.
INSTANTIATE_TEST_SUITE_P(
    Both, PathPartsTest,
    testing::Values(
        PathCase{PathSyntax::Windows, R"(C:\media\a.mp3)", "a.mp3", R"(C:\media\)", ".mp3"},
        PathCase{PathSyntax::Windows, "C:a.MP3", "a.MP3", "C:", ".MP3"},
        PathCase{PathSyntax::Windows, R"(C:\dir.d\README)", "README", R"(C:\dir.d\)", ""},
        PathCase{PathSyntax::Windows, "a.mp3", "a.mp3", "", ".mp3"},
        PathCase{PathSyntax::Windows, "C:\\x\xB1\x5C.jpg", "x\xB1\x5C.jpg", "C:\\", ".jpg"},
        PathCase{PathSyntax::Windows, "C:\\\xD5\xC5\\b.gif", "b.gif", "C:\\\xD5\xC5\\", ".gif"},
        PathCase{PathSyntax::Windows, R"(C:\)", "", R"(C:\)", ""},
        PathCase{PathSyntax::Posix, "/home/u/a.tar.gz", "a.tar.gz", "/home/u/", ".gz"},
        PathCase{PathSyntax::Posix, "/home/u.d/README", "README", "/home/u.d/", ""},
        PathCase{PathSyntax::Posix, "/tmp/C:a\\b.mp3", "C:a\\b.mp3", "/tmp/", ".mp3"},
        PathCase{PathSyntax::Posix, "/tmp/.hidden", ".hidden", "/tmp/", ".hidden"},
        PathCase{PathSyntax::Posix, "/", "", "/", ""},
        PathCase{PathSyntax::Posix, "照片.JPG", "照片.JPG", "", ".JPG"}));

TEST(PathTextTest, TrailingSeparatorIsAppendedOnlyWhenMissing) {
  EXPECT_EQ(WithTrailingSeparator("D:", PathSyntax::Windows), "D:\\");
  EXPECT_EQ(WithTrailingSeparator("C:\\", PathSyntax::Windows), "C:\\");
  // A trail byte 0x5C is no back slash of its own.
  EXPECT_EQ(WithTrailingSeparator("C:\\\xB1\x5C", PathSyntax::Windows), "C:\\\xB1\x5C\\");
  EXPECT_EQ(WithTrailingSeparator("/home", PathSyntax::Posix), "/home/");
  EXPECT_EQ(WithTrailingSeparator("/", PathSyntax::Posix), "/");
  EXPECT_EQ(JoinPath("/tmp/", "a", PathSyntax::Posix), "/tmp/a");
}

TEST(PathTextTest, LastCharacterStartsWhereItsEncodingSays) {
  EXPECT_EQ(LastCharStart("ab", PathSyntax::Posix), 1u);
  EXPECT_EQ(LastCharStart("a\xE9\x94\x99", PathSyntax::Posix), 1u);  // UTF-8 of 错
  EXPECT_EQ(LastCharStart("", PathSyntax::Posix), 0u);
  // GBK: "\xB4\xED" is one character; its trail byte 0xB4 must not count.
  EXPECT_EQ(LastCharStart("(\xB4\xED", PathSyntax::Windows), 1u);
  EXPECT_EQ(LastCharStart("\xB4\xED)", PathSyntax::Windows), 2u);
}

TEST(PathTextTest, LowerCasingTouchesOnlyAsciiCapitals) {
  EXPECT_EQ(LowerAscii("A.MP3\xC4\x41Z"), "a.mp3\xC4\x61z");
  EXPECT_EQ(LowerAscii("Ärger"), "Ärger");
}

TEST(PathTextTest, SubstringTestsAreByteWiseAndEmptyIsNeverFound) {
  EXPECT_TRUE(ContainsBytes(".jpg;.jpeg", ".jpe"));
  EXPECT_FALSE(ContainsBytes(".jpg", ".JPG"));
  EXPECT_FALSE(ContainsBytes("abc", ""));
  EXPECT_FALSE(ContainsBytes("", ""));
  EXPECT_TRUE(EqualsIgnoreAsciiCase("C:\\", "c:\\"));
  EXPECT_TRUE(IsBlank(std::string("\0 \t", 3)));
  EXPECT_FALSE(IsBlank(" x "));
  EXPECT_EQ(TrimControls("  a b\t\n"), "a b");
  EXPECT_EQ(TrimControls("   "), "");
}

}  // namespace
}  // namespace ravo
