// The database shipped as ext.dll beside the executables, on real files.
#include <gtest/gtest.h>

#include "app/Categories.h"
#include "fsutil/PathText.h"
#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"
#include "typedb/DetectFileType.h"
#include "typedb/velScanext.h"

namespace ravo {
namespace {

std::string Sample(const std::string& name) {
  return std::string(RAVO_TYPEDB_SAMPLES) + "/" + name;
}

TEST(ShippedDatabaseTest, EveryCategoryExtensionHasARecord) {
  std::string lists = std::string(kMusicExts) + ";" + std::string(kVideoExts) + ";" +
                      std::string(kFlashExts) + ";" + std::string(kPictureExts) + ";" +
                      std::string(kModernExts);
  std::size_t start = 0;
  while (start < lists.size()) {
    std::size_t end = lists.find_first_of(";,", start);
    if (end == std::string::npos) end = lists.size();
    std::string ext = lists.substr(start, end - start);
    start = end + 1;
    auto found = LookupByExt(TypeDatabasePath(), ext);
    ASSERT_TRUE(found.has_value()) << ext;
    EXPECT_FALSE(IsBlank(found->Description)) << ext;
  }
}

struct SampleCase {
  const char* file;
  const char* type;

  friend void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.file; }
};

class ShippedSampleTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(ShippedSampleTest, RealFileIsNamedByItsContent) {
  EXPECT_EQ(DetectFileType(Sample(GetParam().file)), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ShippedSampleTest,
    ::testing::Values(SampleCase{"video.mp4", ".mp4"}, SampleCase{"video.f4v", ".f4v"},
                      SampleCase{"video.mov", ".mov"}, SampleCase{"video.3gp", ".3gp"},
                      SampleCase{"video.flv", ".flv"}, SampleCase{"video.avi", ".avi"},
                      SampleCase{"video.asf", ".asf"}, SampleCase{"video.wmv", ".asf"},
                      SampleCase{"video.mpg", ".mpg"}, SampleCase{"video.mpe", ".mpg"},
                      SampleCase{"video.vob", ".mpg"}, SampleCase{"elementary.m1v", ".mpg"},
                      SampleCase{"video.rm", ".rm"}, SampleCase{"flash.swf", ".swf"},
                      SampleCase{"music.wav", ".wav"}, SampleCase{"music.mp3", ".mp3"},
                      SampleCase{"frames.mp3", ".mp3"}, SampleCase{"music.wma", ".asf"},
                      SampleCase{"music.acc", ".acc"}, SampleCase{"picture.jpg", ".jpg"},
                      SampleCase{"picture.jpeg", ".jpg"}, SampleCase{"picture.png", ".png"},
                      SampleCase{"picture.gif", ".gif"}, SampleCase{"picture87.gif", ".gif"},
                      SampleCase{"picture.bmp", ".bmp"}, SampleCase{"picture.psd", ".psd"},
                      SampleCase{"picture.svg", ".svg"}, SampleCase{"prolog.svg", ".svg"},
                      // Media of other types and files that are no media, by their own names.
                      SampleCase{"other.ogg", ".ogg"}, SampleCase{"other.flac", ".flac"},
                      SampleCase{"other.webm", ".webm"}, SampleCase{"other.mkv", ".mkv"},
                      SampleCase{"other.m4a", ".m4a"}, SampleCase{"other.webp", ".webp"},
                      SampleCase{"other.tif", ".tif"}, SampleCase{"document.pdf", ".pdf"},
                      SampleCase{"modern.avif", ".avif"}, SampleCase{"modern.heic", ".heic"},
                      SampleCase{"modern.opus", ".opus"}, SampleCase{"modern.oga", ".oga"},
                      SampleCase{"modern.m4v", ".m4v"}, SampleCase{"modern.aac", ".aac"},
                      SampleCase{"archive.zip", ".zip"}, SampleCase{"archive.gz", ".gz"},
                      SampleCase{"archive.7z", ".7z"}, SampleCase{"archive.rar", ".rar"},
                      SampleCase{"archive.bz2", ".bz2"}, SampleCase{"archive.xz", ".xz"},
                      SampleCase{"program.elf", ".elf"}, SampleCase{"program.exe", ".exe"},
                      SampleCase{"Sample.class", ".class"}, SampleCase{"data.sqlite", ".sqlite"},
                      SampleCase{"text.txt", ".txt"}));

struct DisguiseCase {
  const char* sample;
  const char* name;  // the name it is saved under
  const char* type;  // what identification says
  bool captured;     // whether that type is in a capture category
};

TEST(ShippedDatabaseTest, SeesThroughDisguisingNames) {
  const DisguiseCase cases[] = {
      {"picture.jpg", "photo.dat", ".jpg", true},
      {"video.wmv", "photo.dat", ".asf", true},
      {"video.vob", "cache_0001", ".mpg", true},
      {"video.mp4", "f_00a1b2", ".mp4", true},
      {"flash.swf", "movie.tmp", ".swf", true},
      {"text.txt", "song.mp3", ".mp3", true},  // no signature: the name stands
      {"document.pdf", "photo.jpg", ".pdf", false},
      {"archive.zip", "song.mp3", ".zip", false},
      {"program.elf", "clip.avi", ".elf", false},
      {"other.webm", "clip.mp4", ".webm", false},
      {"other.ogg", "song.mp3", ".ogg", false},
      // AAC in ADTS frames is a family: the file keeps its name.
      {"music.acc", "song.ACC", ".acc", true},
      {"music.acc", "stream.dat", ".dat", false},
  };
  test::TempDir dir;
  // What the four categories of old take stays as it was.
  CategorySelection all{true, true, true, true, false};
  for (const DisguiseCase& c : cases) {
    std::string path = dir / c.name;
    test::WriteFile(path, test::ReadFile(Sample(c.sample)));
    std::string type = DetectFileType(path);
    EXPECT_EQ(type, c.type) << c.sample << " as " << c.name;
    EXPECT_EQ(BelongsToTicked(type, all), c.captured) << c.sample << " as " << c.name;
  }
}

// Every format of the new-formats list is named by its content: saved under
// a name that hides it, without a name extension, and as the body of a
// browser's cache entry.
TEST(ShippedDatabaseTest, TodaysFormatsAreSeenThroughDisguisesAndCacheEntries) {
  const struct {
    const char* sample;
    const char* type;
  } cases[] = {
      {"other.webp", ".webp"}, {"modern.avif", ".avif"}, {"modern.heic", ".heic"},
      {"other.webm", ".webm"}, {"other.mkv", ".mkv"},    {"other.ogg", ".ogg"},
      {"modern.oga", ".oga"},  {"modern.opus", ".opus"}, {"other.flac", ".flac"},
      {"other.m4a", ".m4a"},   {"modern.m4v", ".m4v"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    std::string bytes = test::ReadFile(Sample(c.sample));
    ASSERT_FALSE(bytes.empty()) << c.sample;
    for (const std::string& name : {std::string("stream.dat"), std::string("f_00a1b2"),
                                    std::string("0123456789abcdef_0")}) {
      std::string path = dir / name;
      test::WriteFile(path, name.ends_with("_0") ? test::SimpleCacheEntry(bytes) : bytes);
      std::string type = DetectFileType(path);
      EXPECT_EQ(type, c.type) << c.sample << " as " << name;
      EXPECT_TRUE(BelongsTo(type, kModernExts)) << c.sample << " as " << name;
    }
  }
  // AAC in ADTS frames keeps the name it has (a family, so that the music
  // list's ".acc" songs stay music): by its name it is new-format audio.
  std::string aac = dir.Write("song.aac", test::ReadFile(Sample("modern.aac")));
  EXPECT_EQ(DetectFileType(aac), ".aac");
  EXPECT_TRUE(BelongsTo(".aac", kModernExts));
}

}  // namespace
}  // namespace ravo
