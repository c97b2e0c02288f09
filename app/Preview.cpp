#include "app/Preview.h"

#include <array>

#include "fsutil/PathText.h"
#include "platform/FileRead.h"
#include "typedb/CacheEntry.h"

namespace ravo {
namespace {

// Exact types, not the category lists' substrings: ".mp" is no picture.
constexpr std::array<std::string_view, 10> kPictureTypes = {
    ".jpg", ".jpeg", ".png", ".gif", ".bmp", ".webp", ".avif", ".heic", ".heif", ".svg"};
constexpr std::array<std::string_view, 14> kVideoTypes = {
    ".mp4", ".m4v", ".webm", ".mkv", ".flv", ".f4v", ".mov",
    ".avi", ".wmv", ".asf", ".3gp", ".mpg", ".mpe", ".vob"};

bool OneOf(const std::string& type, auto const& list) {
  for (std::string_view t : list) {
    if (type == t) return true;
  }
  return false;
}

}  // namespace

PreviewKind PreviewKindOf(std::string_view type) {
  std::string lower = LowerAscii(type);
  if (OneOf(lower, kPictureTypes)) return PreviewKind::kPicture;
  if (OneOf(lower, kVideoTypes)) return PreviewKind::kVideo;
  return PreviewKind::kNone;
}

std::optional<std::string> PreviewBytes(const std::string& path, std::uint64_t maxBytes) {
  platform::ReadOnlyFile file(path);
  if (!file.IsOpen()) return std::nullopt;
  BodyPieces pieces = ContentPieces(file);
  std::uint64_t total = 0;
  for (const BodyRange& piece : pieces) total += piece.length;
  if (total == 0 || total > maxBytes) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(total), '\0');
  std::size_t at = 0;
  for (const BodyRange& piece : pieces) {
    std::span<char> part(bytes.data() + at, static_cast<std::size_t>(piece.length));
    if (!file.ReadAt(piece.offset, part)) return std::nullopt;
    at += part.size();
  }
  return bytes;
}

}  // namespace ravo
