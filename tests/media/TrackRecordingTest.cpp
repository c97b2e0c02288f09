// The segments a page's player appends, as ffmpeg cuts real media for
// streaming: recognised, and put back in order into files that play.
#include <gtest/gtest.h>

#include "media/MediaSegment.h"
#include "media/TrackRecording.h"
#include "tests/media/MediaTestSupport.h"

namespace ravo::media {
namespace {

TEST(MediaSegmentTest, TheMimeTypeNamesTheContainer) {
  EXPECT_EQ(ContainerOfMime("video/mp4; codecs=\"avc1.64001f\""), Container::kMp4);
  EXPECT_EQ(ContainerOfMime("audio/mp4;codecs=mp4a.40.2"), Container::kMp4);
  EXPECT_EQ(ContainerOfMime(" VIDEO/WEBM ; codecs=vp9"), Container::kWebm);
  EXPECT_EQ(ContainerOfMime("audio/webm"), Container::kWebm);
  EXPECT_EQ(ContainerOfMime("video/mp2t"), std::nullopt);
  EXPECT_EQ(ContainerOfMime(""), std::nullopt);
}

TEST(MediaSegmentTest, DamagedOrCutChunksAreNeverReadBeyondTheirEnd) {
  for (Container c : {Container::kMp4, Container::kWebm}) {
    for (std::string chunk : {std::string(), std::string("\0\0\0\x01moof", 8),
                              std::string("\x1F\x43\xB6\x75\x01", 5),
                              std::string("\x1F\x43\xB6\x75\x88\xE7\x88", 7),
                              std::string("\0\0\0\x10moof\0\0\0\x30traf", 16)}) {
      SegmentInfo info = ReadSegment(c, chunk);
      EXPECT_NE(info.kind, SegmentInfo::kInit);
    }
  }
}

class TrackRecordingTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed to make the media";
    dash = test::MakeDash(dir / "dash", webm());
    ASSERT_FALSE(dash.video.init.empty());
    ASSERT_EQ(dash.video.media.size(), 4u);
  }
  bool webm() const { return GetParam(); }
  Container container() const { return webm() ? Container::kWebm : Container::kMp4; }

  ravo::test::TempDir dir;
  test::Dash dash;
};

TEST_P(TrackRecordingTest, SegmentsAreRecognisedWithRisingTimes) {
  EXPECT_EQ(ReadSegment(container(), dash.video.init).kind, SegmentInfo::kInit);
  EXPECT_EQ(JoinableCodecs(container(), dash.video.init),
            webm() ? std::optional<std::string>("V_VP9") : std::nullopt);
  EXPECT_EQ(JoinableCodecs(container(), dash.audio.init),
            webm() ? std::optional<std::string>("A_OPUS") : std::nullopt);
  EXPECT_EQ(ReadSegment(container(), dash.audio.init).kind, SegmentInfo::kInit);
  std::uint64_t last = 0;
  for (std::size_t i = 0; i < dash.video.media.size(); ++i) {
    SegmentInfo info = ReadSegment(container(), dash.video.media[i]);
    ASSERT_EQ(info.kind, SegmentInfo::kMedia) << i;
    ASSERT_TRUE(info.time.has_value()) << i;
    if (i > 0) EXPECT_GT(*info.time, last) << i;
    last = *info.time;
  }
}

// A player that seeks back appends a segment again and one out of order:
// the recording holds each once, in time order, and plays from start to end.
TEST_P(TrackRecordingTest, SeekingAroundGivesOneFileInTimeOrder) {
  for (const test::Segments* stream : {&dash.video, &dash.audio}) {
    std::string track = dir / "track.part";
    TrackRecording recording(container(), track, 100 << 20);
    const std::vector<std::string>& m = stream->media;
    std::vector<const std::string*> order{&stream->init, &m[0], &m[2], &m[1], &m[2], &m[3], &m[1]};
    for (std::size_t i = 4; i < m.size(); ++i) order.push_back(&m[i]);
    for (const std::string* chunk : order) {
      ASSERT_EQ(recording.Append(*chunk), TrackRecording::Appended::kWritten);
    }
    std::string error;
    std::vector<std::string> files = recording.Assemble(dir / "whole", error);
    ASSERT_EQ(files.size(), 1u) << error;
    std::string expected = stream->init;
    for (const std::string& s : m) expected += s;
    EXPECT_TRUE(ravo::test::ReadFile(files[0]) == expected);  // bytes: no dump
    std::string errors;
    EXPECT_TRUE(test::DecodesCleanly(files[0], &errors)) << errors;
    EXPECT_NEAR(test::DurationOf(files[0]), 4.0, 0.5);
  }
}

// Another quality with an initialization segment of its own: WebM with the
// same codecs stays one file (the codec's bitstream carries the new
// picture size); MP4, whose decoder settings are in the initialization
// segment, and WebM with another codec continue in a second file.
// Appending the first again goes back to the first file.
TEST_P(TrackRecordingTest, AnotherQualityStaysInOneFileWhereTheCodecsAllowIt) {
  struct Case {
    const char* what;
    std::string codec;
    bool oneFile;
  };
  std::vector<Case> cases{{"same codec, smaller picture", "", webm()}};
  if (webm()) cases.push_back({"another codec", "libvpx", false});
  for (const Case& c : cases) {
    test::Dash other = test::MakeDash(dir / ("other" + c.codec), webm(), "160x120", c.codec);
    TrackRecording recording(container(), dir / "track.part", 100 << 20);
    const std::vector<std::string>& a = dash.video.media;
    const std::vector<std::string>& b = other.video.media;
    for (const std::string* chunk : std::initializer_list<const std::string*>{
             &dash.video.init, &a[0], &a[1], &other.video.init, &b[2], &b[3], &dash.video.init,
             &a[2]}) {
      recording.Append(*chunk);
    }
    std::string error;
    std::vector<std::string> files = recording.Assemble(dir / ("clip" + c.codec), error);
    if (c.oneFile) {
      ASSERT_EQ(files.size(), 1u) << c.what << error;
      // Segment 2 came from the other quality first: its repeat is dropped.
      EXPECT_TRUE(ravo::test::ReadFile(files[0]) == dash.video.init + a[0] + a[1] + b[2] + b[3])
          << c.what;
      std::string errors;
      EXPECT_TRUE(test::DecodesCleanly(files[0], &errors)) << c.what << errors;
    } else {
      ASSERT_EQ(files.size(), 2u) << c.what << error;
      EXPECT_EQ(files[1], dir / ("clip" + c.codec + " (2)" + ExtensionOf(container())));
      EXPECT_TRUE(ravo::test::ReadFile(files[0]) == dash.video.init + a[0] + a[1] + a[2]) << c.what;
      EXPECT_TRUE(ravo::test::ReadFile(files[1]) == other.video.init + b[2] + b[3]) << c.what;
    }
  }
}

TEST_P(TrackRecordingTest, ARecordingStopsAtItsLimitAndKeepsWhatItHas) {
  TrackRecording recording(container(), dir / "track.part",
                           dash.video.init.size() + dash.video.media[0].size());
  EXPECT_EQ(recording.Append(dash.video.init), TrackRecording::Appended::kWritten);
  EXPECT_EQ(recording.Append(dash.video.media[0]), TrackRecording::Appended::kWritten);
  EXPECT_EQ(recording.Append(dash.video.media[1]), TrackRecording::Appended::kTooLarge);
  EXPECT_EQ(recording.Size(), dash.video.init.size() + dash.video.media[0].size());
  EXPECT_EQ(ravo::test::ReadFile(recording.Path()).size(), recording.Size());
}

INSTANTIATE_TEST_SUITE_P(Containers, TrackRecordingTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("WebM") : std::string("Mp4");
                         });

}  // namespace
}  // namespace ravo::media
