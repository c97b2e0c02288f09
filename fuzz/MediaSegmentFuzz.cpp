// Arbitrary bytes as a chunk that a page's player appends to a media
// source, read as fragmented MP4 and as WebM, and kept by a recording that
// puts what it holds in order. Nothing is read beyond the chunk; a chunk
// that is no initialization segment never becomes one; the codecs read
// from it lie within it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "media/MediaSegment.h"
#include "media/TrackRecording.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using ravo::media::Container;
  using ravo::media::SegmentInfo;
  std::string_view chunk(reinterpret_cast<const char*>(data), size);
  for (Container c : {Container::kMp4, Container::kWebm}) {
    SegmentInfo info = ravo::media::ReadSegment(c, chunk);
    ravo::fuzz::Expect(info.kind == SegmentInfo::kMedia || !info.time.has_value(),
                       "only media segments have a time");
    std::optional<std::string> codecs = ravo::media::JoinableCodecs(c, chunk);
    ravo::fuzz::Expect(!codecs || (c == Container::kWebm && !codecs->empty() &&
                                   codecs->size() <= chunk.size()),
                       "codecs come from WebM tracks within the chunk");
  }
  // The chunk cut in three, appended after the first third as if it were the
  // stream's start: the recording keeps its bytes and its order holds.
  static ravo::fuzz::ScratchDir scratch;
  std::string track = scratch.Path() + "/track";
  ravo::media::TrackRecording recording(Container::kWebm, track, 1 << 20);
  std::size_t third = size / 3;
  recording.Append(chunk.substr(0, third));
  recording.Append(chunk.substr(third, third));
  recording.Append(chunk.substr(2 * third));
  std::string error;
  for (const std::string& file : recording.Assemble(scratch.Path() + "/whole", error)) {
    scratch.Remove(file);
  }
  scratch.Remove(track);
  return 0;
}
