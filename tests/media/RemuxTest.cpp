// A player's video and audio tracks put together into one file, packets
// copied as they are.
#include <gtest/gtest.h>

#include "media/Remux.h"
#include "media/TrackRecording.h"
#include "platform/Files.h"
#include "tests/media/MediaTestSupport.h"

namespace ravo::media {
namespace {

class RemuxTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed to make the media";
  }
  Container container() const { return GetParam() ? Container::kWebm : Container::kMp4; }

  // The stream recorded with its last segment appended first, and assembled.
  std::string Track(const test::Segments& segments, const std::string& name) {
    TrackRecording recording(container(), dir / (name + ".part"), 100 << 20);
    recording.Append(segments.init);
    recording.Append(segments.media.back());
    for (std::size_t i = 0; i + 1 < segments.media.size(); ++i) recording.Append(segments.media[i]);
    std::string error;
    std::vector<std::string> files = recording.Assemble(dir / name, error);
    EXPECT_EQ(files.size(), 1u) << error;
    return files.empty() ? std::string() : files[0];
  }

  ravo::test::TempDir dir;
};

TEST_P(RemuxTest, VideoAndAudioBecomeOneFileThatPlaysThroughWithPictureAndSound) {
  test::Dash dash = test::MakeDash(dir / "dash", GetParam());
  std::string output = dir / (std::string("film") + ExtensionOf(container()));
  ASSERT_EQ(MuxTracks({Track(dash.video, "video"), Track(dash.audio, "audio")}, output, container()), "");
  std::string streams;
  ASSERT_TRUE(test::Shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" +
                              output + "'",
                          &streams));
  EXPECT_EQ(streams, "video\naudio\n");
  std::string errors;
  EXPECT_TRUE(test::DecodesCleanly(output, &errors)) << errors;
  EXPECT_NEAR(test::DurationOf(output), 4.0, 0.5);
}

TEST_P(RemuxTest, AFailureSaysWhyAndLeavesNoFile) {
  std::string output = dir / (std::string("film") + ExtensionOf(container()));
  std::string error = MuxTracks({dir / "missing.mp4"}, output, container());
  EXPECT_NE(error.find("无法读取"), std::string::npos) << error;
  EXPECT_FALSE(platform::QueryFile(output).exists);
  EXPECT_NE(MuxTracks({}, output, container()), "");
}

INSTANTIATE_TEST_SUITE_P(Containers, RemuxTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("WebM") : std::string("Mp4");
                         });

}  // namespace
}  // namespace ravo::media
