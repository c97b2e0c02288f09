// Identification of browser cache entries: a complete Chromium entry by the
// body it holds, anything else (a Firefox entry, whose body comes first; an
// unfinished or damaged Chromium entry) like any file.
#include <gtest/gtest.h>

#include "tests/typedb/CacheEntryWriter.h"
#include "tests/typedb/DatabaseBuilder.h"
#include "typedb/DetectFileType.h"

namespace ravo {
namespace {

const std::string& kPng = test::kPngBody;
const std::string kSamples = RAVO_TYPEDB_SAMPLES "/cache";

class CacheEntryDetectTest : public testing::Test {
 protected:
  test::TempDir dir_;
};

TEST_F(CacheEntryDetectTest, ShippedDatabaseNamesTheBodyWhateverTheFileName) {
  const std::string entry = test::SimpleCacheEntry(kPng);
  const std::string start = test::SimpleCacheEntryStart(test::SimpleEntryParts().key);
  const std::string mp4 = test::ReadFile(kSamples + "/served/video.mp4");
  using test::SparseRange;
  struct Case {
    std::string name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"0123456789abcdef_0", entry, ".png"},
      {"song.mp3", entry, ".png"},
      {"F1E897FB4A0648F82752EA8452690A3413BAE09C", test::Cache2Entry(kPng), ".png"},
      {"0123456789abcdef_s",
       test::SparseCacheEntry(
           {SparseRange(30, kPng.substr(30)), SparseRange(0, kPng.substr(0, 30))}),
       ".png"},
      // Only the head of the video has arrived, the rest after a gap.
      {"fedcba9876543210_s",
       test::SparseCacheEntry(
           {SparseRange(0, mp4.substr(0, 60)), SparseRange(200, mp4.substr(200))}),
       ".mp4"},
      // Unfinished and damaged entries are ordinary files: the name decides.
      {"unfinished_0", start + kPng, ""},
      {"unfinished.mp3", start + kPng, ".mp3"},
      {"damaged.mp3", entry.substr(0, entry.size() - 1), ".mp3"},
      {"unfinished_s.mp3", test::SparseCacheEntry({SparseRange(0, kPng)}).substr(0, 90), ".mp3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectFileType(dir_.Write(c.name, c.bytes)), c.expected) << c.name;
  }
}

TEST_F(CacheEntryDetectTest, RealBrowserEntriesAreIdentifiedByTheirBody) {
  struct Case {
    const char* sample;
    const char* expected;
  } cases[] = {
      {"chromium/picture_png_0", ".png"}, {"chromium/picture_jpg_0", ".jpg"},
      {"chromium/video_mp4_0", ".mp4"},   {"firefox/picture_png", ".png"},
      {"firefox/picture_jpg", ".jpg"},    {"firefox/video_mp4", ".mp4"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectFileType(kSamples + "/" + c.sample), c.expected) << c.sample;
  }
}

TEST_F(CacheEntryDetectTest, ShortBodiesArePaddedWithZerosLikeShortFiles) {
  std::string db = dir_ / "ext.dll";
  test::WriteFile(db,
                  test::Concat({test::Record(".jpg", 0, "\xFF\xD8\xFF", "JPEG"),
                                test::Record(".tail", 40, std::string(2, '\0'), "zeros at 40")}));
  // What follows a 30-byte body in the file is its end record, not zeros.
  EXPECT_EQ(DetectFileType(dir_.Write("a_0", test::SimpleCacheEntry(std::string(30, 'a'))), db),
            ".tail");
  EXPECT_EQ(DetectFileType(dir_.Write("b_0", test::SimpleCacheEntry("\xFF\xD8\xFF")), db), ".jpg");
  EXPECT_EQ(DetectFileType(dir_.Write("c_0", test::SimpleCacheEntry(std::string(60, 'a'))), db),
            "");
}

TEST_F(CacheEntryDetectTest, ShortFirefoxBodiesArePaddedWithZerosNotWithTheirMetadata) {
  std::string db = dir_ / "ext.dll";
  test::WriteFile(db, test::Concat({test::Record(".jpg", 0, "\xFF\xD8\xFF", "JPEG"),
                                    test::Record(".tail", 40, std::string(11, '\0'), "zeros")}));
  // A Firefox entry's short body is followed by its metadata, whose hash
  // may read as anything: the body is padded with zeros instead.
  const std::string firefoxName(40, 'A');
  std::string shortBody = test::Cache2Entry(std::string(30, 'a'));
  EXPECT_EQ(DetectFileType(dir_.Write(firefoxName, shortBody), db), ".tail");
  EXPECT_EQ(DetectFileType(dir_.Write("other.bin", shortBody), db), ".bin");
  std::string jpegBody = test::Cache2Entry("\xFF\xD8\xFF");
  EXPECT_EQ(DetectFileType(dir_.Write("0123456789ABCDEF0123456789ABCDEF01234567", jpegBody), db),
            ".jpg");
  EXPECT_EQ(DetectFileType(dir_.Write(std::string(40, 'B'), test::Cache2Entry(std::string(60, 'a'))),
                           db),
            "");
}

}  // namespace
}  // namespace ravo
