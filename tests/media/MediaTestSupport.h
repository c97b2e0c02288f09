// Media made at test time with ffmpeg: a few seconds of video and audio cut
// into the segments a page's player would fetch and append.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ShellCommand.h"
#include "tests/support/TestSupport.h"

namespace ravo::media::test {

using ravo::test::Shell;

// True when ffmpeg and ffprobe are there.
bool HaveFfmpeg();

// The segments of one stream: the initialization segment, then the media
// segments in order.
struct Segments {
  std::string init;
  std::vector<std::string> media;
};

// Four seconds of 25 fps video (H.264 in fragmented MP4, or VP9 in WebM;
// `size` as WxH) and of sine audio (AAC or Opus), cut in one-second
// segments in `dir`. Stream 0 is the video, stream 1 the audio.
struct Dash {
  Segments video;
  Segments audio;
};
// `videoCodec` replaces the container's usual video encoder (libvpx for VP8).
Dash MakeDash(const std::string& dir, bool webm, const std::string& size = "320x240",
              const std::string& videoCodec = "");

// Seconds of media in the file (the end of its last packet), by ffprobe;
// negative when it cannot tell.
double DurationOf(const std::string& path);

// True when ffmpeg decodes the whole file without an error.
bool DecodesCleanly(const std::string& path, std::string* errors = nullptr);

}  // namespace ravo::media::test
