// What the user gets of a captured file: "另存为" writes the body of a
// browser's cache entry and any other file whole; a double click opens a
// copy of the body that goes when the program ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "app/CapturedFile.h"
#include "app/OpenableCopies.h"
#include "fsutil/PathText.h"
#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"

namespace ravo {
namespace {

const std::string& kPng = test::kPngBody;
const std::string kServed = RAVO_TYPEDB_SAMPLES "/cache/served/";
const std::string kEntries = RAVO_TYPEDB_SAMPLES "/cache/";

class CapturedFileTest : public testing::Test {
 protected:
  test::TempDir dir_;
};

// The served video as a sparse entry holds it: out of order, one range
// overlapping two others, and a part after a gap that is no part of the body.
std::string SparseVideoEntry(const std::string& video) {
  using test::SparseRange;
  return test::SparseCacheEntry({SparseRange(900, video.substr(900, 800)),
                                 SparseRange(0, video.substr(0, 600)),
                                 SparseRange(1800, video.substr(1800)),
                                 SparseRange(500, video.substr(500, 500))});
}

TEST_F(CapturedFileTest, SavesTheBodyOfEntriesAndOtherFilesWhole) {
  const std::string unfinished = test::SimpleCacheEntryStart("1/0/_dk_k") + kPng;
  const std::string video = test::ReadFile(kServed + "video.mp4");
  ASSERT_GT(video.size(), 1800u);
  struct Case {
    std::string source;
    std::string saved;
  } cases[] = {
      {dir_.Write("0123456789abcdef_0", test::SimpleCacheEntry(kPng)), kPng},
      {dir_.Write("F1E897FB4A0648F82752EA8452690A3413BAE09C", test::Cache2Entry(kPng)), kPng},
      {dir_.Write("photo.dat", kPng), kPng},
      {dir_.Write("0123456789abcdef_s", SparseVideoEntry(video)), video.substr(0, 1700)},
      {dir_.Write("unfinished_0", unfinished), unfinished},
      {kEntries + "chromium/video_mp4_0", test::ReadFile(kServed + "video.mp4")},
      {kEntries + "firefox/picture_jpg", test::ReadFile(kServed + "picture.jpg")},
  };
  for (const Case& c : cases) {
    std::string target = dir_ / "saved.png";
    EXPECT_EQ(SaveCapturedFile(c.source, target), "") << c.source;
    EXPECT_EQ(test::ReadFile(target), c.saved) << c.source;
  }
}

TEST_F(CapturedFileTest, NeverSavesAnEntryOverItself) {
  const std::string entry = test::SimpleCacheEntry(kPng);
  std::string source = dir_.Write("0123456789abcdef_0", entry);
  EXPECT_NE(SaveCapturedFile(source, source), "");
  EXPECT_EQ(test::ReadFile(source), entry);
  EXPECT_NE(SaveCapturedFile(dir_ / "missing_0", dir_ / "saved.png"), "");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "saved.png"));
}

TEST_F(CapturedFileTest, OpensOrdinaryFilesWhereTheyAre) {
  OpenableCopies copies;
  std::string photo = dir_.Write("photo.dat", kPng);
  EXPECT_EQ(copies.PathToOpen(photo), photo);
  EXPECT_EQ(copies.PathToOpen(dir_ / "missing.png"), dir_ / "missing.png");
  EXPECT_EQ(copies.Folder(), "");
}

TEST_F(CapturedFileTest, OpensACopyOfTheBodyWithItsRealExtension) {
  const std::string video = test::ReadFile(kServed + "video.mp4");
  std::string copyFolder;
  {
    OpenableCopies copies;
    struct Case {
      std::string entry;
      std::string name;
      std::string body;
    } cases[] = {
        {dir_.Write("a/0123456789abcdef_0", test::SimpleCacheEntry(kPng)), "0123456789abcdef_0.png",
         kPng},
        // The same name in another cache gets a copy of its own.
        {dir_.Write("b/0123456789abcdef_0", test::SimpleCacheEntry("\xFF\xD8\xFF\xE0" + kPng)),
         "0123456789abcdef_0.jpg", "\xFF\xD8\xFF\xE0" + kPng},
        {dir_.Write("F1E897FB4A0648F82752EA8452690A3413BAE09C", test::Cache2Entry(kPng)),
         "F1E897FB4A0648F82752EA8452690A3413BAE09C.png", kPng},
        {dir_.Write("0123456789abcdef_s", SparseVideoEntry(video)), "0123456789abcdef_s.mp4",
         video.substr(0, 1700)},
        // A name that already ends with the extension keeps it once.
        {dir_.Write("kept.PNG", test::Cache2Entry(kPng)), "kept.PNG", kPng},
    };
    std::vector<std::string> opened;
    for (const Case& c : cases) {
      std::string path = copies.PathToOpen(c.entry);
      EXPECT_EQ(NameOf(path), c.name) << c.entry;
      EXPECT_EQ(test::ReadFile(path), c.body) << c.entry;
      opened.push_back(path);
    }
    EXPECT_NE(opened[0], opened[1]);
    EXPECT_EQ(test::ReadFile(opened[0]), kPng);
    copyFolder = copies.Folder();
    ASSERT_EQ(copyFolder.rfind(std::filesystem::temp_directory_path().string(), 0), 0u);
    struct stat st {};
    ASSERT_EQ(stat(copyFolder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  EXPECT_FALSE(std::filesystem::exists(copyFolder));
}

}  // namespace
}  // namespace ravo
