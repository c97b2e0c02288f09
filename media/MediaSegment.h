// The chunks a page's player appends to a media source: an initialization
// segment (the codecs and tracks) or a media segment (samples from a decode
// time on), in fragmented MP4 or WebM. Bytes come from a web page: every
// length is checked against the chunk, and the work per chunk is bounded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ravo::media {

enum class Container { kMp4, kWebm };

// The container a SourceBuffer's MIME type names ("video/mp4;
// codecs=..."), or nullopt for any other.
std::optional<Container> ContainerOfMime(std::string_view mime);

struct SegmentInfo {
  enum Kind { kInit, kMedia, kOther };
  Kind kind = kOther;
  // A media segment's decode time, in the track's own units (the MP4
  // fragment's base decode time, the WebM cluster's timecode).
  std::optional<std::uint64_t> time;
};

// What the chunk begins with. A chunk that is neither (the rest of a
// segment appended in parts) is kOther.
SegmentInfo ReadSegment(Container container, std::string_view chunk);

// The codecs an initialization segment announces, in track order (WebM:
// the tracks' CodecIDs, "V_VP9,A_OPUS"). Segments of two initialization
// segments with the same codecs can follow each other in one file: the
// codec's own bitstream carries what changed (the picture size of another
// quality). nullopt where that is not so (MP4, whose decoder settings
// live in the initialization segment) or nothing can be read.
std::optional<std::string> JoinableCodecs(Container container, std::string_view init);

// The extension of files of the container, dot included.
const char* ExtensionOf(Container container);

}  // namespace ravo::media
