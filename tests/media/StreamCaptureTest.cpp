// A player's streams kept while the page plays them, and made into one file
// when the stream ends.
#include <gtest/gtest.h>

#include <filesystem>

#include "media/StreamCapture.h"
#include "platform/Files.h"
#include "tests/media/MediaTestSupport.h"

namespace ravo::media {
namespace {

namespace fs = std::filesystem;

class StreamCaptureTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed to make the media";
    dash = test::MakeDash(dir / "dash", GetParam());
  }
  const char* mime(bool video) const {
    if (GetParam()) return video ? "video/webm; codecs=\"vp9\"" : "audio/webm; codecs=\"opus\"";
    return video ? "video/mp4; codecs=\"avc1.64000d\"" : "audio/mp4; codecs=\"mp4a.40.2\"";
  }
  std::vector<std::string> FilesIn(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  ravo::test::TempDir dir;
  test::Dash dash;
  std::optional<std::uint64_t> free = std::uint64_t{100} << 30;
  StreamCapture::Clock::time_point now{};
  StreamCapture capture{{dir / "videos"},
                        [this](const std::string&) { return free; },
                        [this] { return now; }};
};

TEST_P(StreamCaptureTest, APlayersVideoAndSoundGrowAsPlayedAndEndAsOneFile) {
  capture.AddBuffer("p1", "v", mime(true));
  capture.AddBuffer("p1", "a", mime(false));
  const auto& v = dash.video.media;
  const auto& a = dash.audio.media;
  for (const auto& [buffer, chunk] : std::vector<std::pair<const char*, const std::string*>>{
           {"v", &dash.video.init}, {"a", &dash.audio.init}, {"v", &v[0]}, {"a", &a[0]},
           {"v", &v[2]}, {"a", &a[1]}, {"v", &v[1]}, {"v", &v[2]}, {"a", &a[2]}, {"v", &v[3]},
           {"a", &a[3]}, {"a", &a[4]}}) {
    ASSERT_EQ(capture.Append("p1", buffer, *chunk), "");
  }
  // While it plays: the video grows under the file's final name; the sound
  // has a name that is never listed.
  std::vector<std::string> playing = FilesIn(dir / "videos");
  ASSERT_EQ(playing.size(), 2u);
  std::string final = playing[0].ends_with(".download") ? playing[1] : playing[0];
  EXPECT_TRUE(final.starts_with("网页视频 ")) << final;
  EXPECT_TRUE(final.ends_with(ExtensionOf(GetParam() ? Container::kWebm : Container::kMp4)));

  StreamCapture::Ended ended = capture.End("p1");
  ASSERT_EQ(ended.files.size(), 1u) << ended.notice;
  EXPECT_EQ(ended.files[0], dir / ("videos/" + final));
  EXPECT_EQ(FilesIn(dir / "videos"), std::vector<std::string>{final});
  std::string streams;
  ASSERT_TRUE(test::Shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" +
                              ended.files[0] + "'",
                          &streams));
  EXPECT_EQ(streams, "video\naudio\n");
  std::string errors;
  EXPECT_TRUE(test::DecodesCleanly(ended.files[0], &errors)) << errors;
  EXPECT_NEAR(test::DurationOf(ended.files[0]), 4.0, 0.5);
  EXPECT_EQ(capture.Recording(), 0u);
}

TEST_P(StreamCaptureTest, ADiskShortOfRoomStopsTheStreamOnceAndOtherTypesAreNotKept) {
  capture.AddBuffer("p1", "v", mime(true));
  capture.AddBuffer("p2", "t", "video/mp2t");
  EXPECT_EQ(capture.Append("p1", "v", dash.video.init), "");
  EXPECT_EQ(capture.Append("p2", "t", dash.video.init), "");
  free = (std::uint64_t{1} << 30) + 10;
  EXPECT_NE(capture.Append("p1", "v", dash.video.media[0]).find("磁盘剩余空间不足"),
            std::string::npos);
  EXPECT_EQ(capture.Append("p1", "v", dash.video.media[1]), "");  // said once
  EXPECT_EQ(FilesIn(dir / "videos").size(), 1u);
  EXPECT_EQ(fs::file_size(dir / ("videos/" + FilesIn(dir / "videos")[0])), dash.video.init.size());
}

TEST_P(StreamCaptureTest, AStreamWithNothingAppendedForHalfAMinuteEnds) {
  capture.AddBuffer("p1", "v", mime(true));
  capture.Append("p1", "v", dash.video.init);
  capture.Append("p1", "v", dash.video.media[0]);
  now += std::chrono::seconds(29);
  EXPECT_TRUE(capture.EndIdle().files.empty());
  now += std::chrono::seconds(1);
  EXPECT_EQ(capture.EndIdle().files.size(), 1u);
  EXPECT_EQ(capture.Recording(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Containers, StreamCaptureTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("WebM") : std::string("Mp4");
                         });

}  // namespace
}  // namespace ravo::media
