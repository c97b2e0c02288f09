// A still of a video for a preview: a frame from its first seconds, scaled
// down, decoded with FFmpeg's libraries from the file or, for a browser's
// cache entry, from the body the entry wraps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ravo::media {

// Packed 8-bit RGB, rows without padding.
struct RgbFrame {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// Where the still is taken, unless the video is shorter.
inline constexpr double kThumbnailSecond = 1.0;

// The first frame at or after `second` (the first frame of a video too
// short for it), scaled to fit maxEdge by maxEdge; nullopt for a file that
// holds no decodable video. The work is bounded: at most a few thousand
// packets are read.
std::optional<RgbFrame> VideoFrameNear(const std::string& path, double second, int maxEdge);

}  // namespace ravo::media
