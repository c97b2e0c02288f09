// Puts the tracks of one player (a file per stream, video and audio, as
// the recordings assembled them) into one file that ordinary players open,
// copying the coded packets as they are: nothing is re-encoded.
#pragma once

#include <string>
#include <vector>

#include "media/MediaSegment.h"

namespace ravo::media {

// Writes every stream of the inputs, interleaved by time, into `output` in
// the container. An empty text on success; else the reason, and no output
// is left.
std::string MuxTracks(const std::vector<std::string>& inputs, const std::string& output,
                      Container container);

}  // namespace ravo::media
