// What a preview of a captured file shows: a thumbnail of a picture, or of
// a frame from the first seconds of a video, taken from the file itself or,
// for a browser's cache entry, from the body it wraps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ravo {

enum class PreviewKind { kNone, kPicture, kVideo };

// The kind of preview a row of this type gets (the type as the list shows
// it, any case).
PreviewKind PreviewKindOf(std::string_view type);

// The largest picture file read for a preview.
inline constexpr std::uint64_t kMaxPreviewBytes = 64ull << 20;

// The bytes of the picture at path for decoding: the body of a browser's
// cache entry, else the whole file. nullopt when there is none, it cannot
// be read or it is larger than maxBytes.
std::optional<std::string> PreviewBytes(const std::string& path,
                                        std::uint64_t maxBytes = kMaxPreviewBytes);

}  // namespace ravo
