// A still of a video for the preview, from files made by ffmpeg: plain and
// inside a browser's cache entry, and nothing from what is no video.
#include <gtest/gtest.h>

#include "media/VideoFrame.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"

namespace ravo::media {
namespace {

// The mean colour of the frame.
std::array<int, 3> MeanColour(const RgbFrame& frame) {
  std::array<long, 3> sum{};
  for (std::size_t i = 0; i + 2 < frame.rgb.size(); i += 3) {
    for (int c = 0; c < 3; ++c) sum[c] += frame.rgb[i + c];
  }
  long pixels = static_cast<long>(frame.rgb.size() / 3);
  return {static_cast<int>(sum[0] / pixels), static_cast<int>(sum[1] / pixels),
          static_cast<int>(sum[2] / pixels)};
}

class VideoFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  }

  // Red for the first second, then blue, 640x360.
  std::string MakeVideo(const std::string& name, const std::string& codec) {
    std::string path = dir_ / name;
    std::string command =
        "ffmpeg -v error -y -f lavfi -i color=c=red:s=640x360:d=1:r=25 "
        "-f lavfi -i color=c=blue:s=640x360:d=2:r=25 "
        "-filter_complex '[0][1]concat=n=2:v=1' -c:v " + codec + " -g 25 '" + path + "'";
    std::string output;
    EXPECT_TRUE(test::Shell(command, &output)) << output;
    return path;
  }

  ravo::test::TempDir dir_;
};

TEST_F(VideoFrameTest, TakesAFrameFromAfterTheFirstSecondScaledToFit) {
  struct Case {
    const char* name;
    const char* codec;
  };
  for (const Case& c : {Case{"clip.mp4", "libx264"}, Case{"clip.webm", "libvpx-vp9"}}) {
    std::optional<RgbFrame> frame = VideoFrameNear(MakeVideo(c.name, c.codec), 1.0, 160);
    ASSERT_TRUE(frame) << c.name;
    EXPECT_EQ(frame->width, 160) << c.name;
    EXPECT_EQ(frame->height, 90) << c.name;
    auto [r, g, b] = MeanColour(*frame);
    EXPECT_GT(b, 150) << c.name;  // blue: the frame comes from after the first second
    EXPECT_LT(r, 60) << c.name;
  }
}

TEST_F(VideoFrameTest, ReadsTheBodyOfACacheEntry) {
  std::string video = ravo::test::ReadFile(MakeVideo("clip.mp4", "libx264"));
  std::string entry = dir_.Write("0123456789abcdef_0", ravo::test::SimpleCacheEntry(video));
  std::optional<RgbFrame> frame = VideoFrameNear(entry, 1.0, 240);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->width, 240);
  EXPECT_EQ(frame->height, 135);
}

TEST_F(VideoFrameTest, NothingFromWhatHoldsNoVideo) {
  std::string song = dir_ / "song.ogg";
  ASSERT_TRUE(test::Shell("ffmpeg -v error -y -f lavfi -i sine=d=1 -c:a libvorbis '" + song + "'"));
  std::string clip = ravo::test::ReadFile(MakeVideo("clip.mp4", "libx264"));
  for (const std::string& path :
       {song, dir_.Write("noise.mp4", std::string(5000, '\x5a')),
        dir_.Write("cut.mp4", clip.substr(0, clip.size() / 3)), dir_.Write("empty.mp4", ""),
        dir_ / "missing.mp4"}) {
    EXPECT_FALSE(VideoFrameNear(path, 1.0, 160)) << path;
  }
}

}  // namespace
}  // namespace ravo::media
