#include "media/MediaSegment.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace ravo::media {
namespace {

// Boxes and elements looked at per level: a real segment has a handful.
constexpr int kMaxItemsPerLevel = 64;

std::uint64_t BigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// --- MP4: boxes of a 32-bit size (1: a 64-bit size follows the type;
// 0: to the end) and a four-letter type.

struct Box {
  std::string_view type;
  std::string_view body;
};

// The boxes of `bytes` in order, up to the first that does not fit.
template <typename Visit>
void ForEachBox(std::string_view bytes, Visit visit) {
  for (int n = 0; n < kMaxItemsPerLevel && bytes.size() >= 8; ++n) {
    std::uint64_t size = BigEndian(bytes, 0, 4);
    std::size_t header = 8;
    if (size == 1) {
      if (bytes.size() < 16) return;
      size = BigEndian(bytes, 8, 8);
      header = 16;
    } else if (size == 0) {
      size = bytes.size();
    }
    if (size < header || size > bytes.size()) {
      // A box cut short: what is there of it is still looked into.
      size = bytes.size();
    }
    if (!visit(Box{bytes.substr(4, 4), bytes.substr(header, size - header)})) return;
    bytes.remove_prefix(size);
  }
}

std::optional<std::uint64_t> FragmentDecodeTime(std::string_view moof) {
  std::optional<std::uint64_t> time;
  ForEachBox(moof, [&](const Box& traf) {
    if (traf.type != "traf") return true;
    ForEachBox(traf.body, [&](const Box& box) {
      if (box.type != "tfdt" || box.body.size() < 8) return true;
      bool wide = box.body[0] == 1;
      if (wide && box.body.size() < 12) return false;
      time = BigEndian(box.body, 4, wide ? 8 : 4);
      return false;
    });
    return false;  // the first track fragment decides
  });
  return time;
}

SegmentInfo ReadMp4(std::string_view chunk) {
  SegmentInfo info;
  ForEachBox(chunk, [&](const Box& box) {
    if (box.type == "moov") {
      info.kind = SegmentInfo::kInit;
      return false;
    }
    if (box.type == "moof") {
      info.kind = SegmentInfo::kMedia;
      info.time = FragmentDecodeTime(box.body);
      return false;
    }
    // ftyp, styp, sidx, free and the like come before.
    return box.type == "ftyp" || box.type == "styp" || box.type == "sidx" ||
           box.type == "free" || box.type == "emsg" || box.type == "prft";
  });
  return info;
}

// --- WebM: EBML elements, an ID of 1 to 4 bytes (marker kept) and a size
// of 1 to 8 bytes (marker dropped; all ones: unknown, to the end).

constexpr std::uint32_t kEbmlHeader = 0x1A45DFA3;
constexpr std::uint32_t kSegment = 0x18538067;
constexpr std::uint32_t kCluster = 0x1F43B675;
constexpr std::uint32_t kTimecode = 0xE7;

// The length of the variable-size integer starting with `first`; 0 when
// it is longer than `max` bytes.
std::size_t VintLength(unsigned char first, std::size_t max) {
  for (std::size_t length = 1; length <= max; ++length) {
    if (first & (0x80 >> (length - 1))) return length;
  }
  return 0;
}

struct Element {
  std::uint32_t id = 0;
  std::string_view body;
};

// The element at the start of `bytes`, and how many bytes it takes.
std::optional<std::pair<Element, std::size_t>> ReadElement(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  std::size_t idLength = VintLength(static_cast<unsigned char>(bytes[0]), 4);
  if (idLength == 0 || bytes.size() < idLength + 1) return std::nullopt;
  auto id = static_cast<std::uint32_t>(BigEndian(bytes, 0, idLength));
  std::size_t sizeLength = VintLength(static_cast<unsigned char>(bytes[idLength]), 8);
  if (sizeLength == 0 || bytes.size() < idLength + sizeLength) return std::nullopt;
  std::uint64_t raw = BigEndian(bytes, idLength, sizeLength);
  std::uint64_t marker = std::uint64_t{1} << (7 * sizeLength);
  std::uint64_t size = raw & (marker - 1);
  std::size_t header = idLength + sizeLength;
  std::size_t available = bytes.size() - header;
  if (size == marker - 1 || size > available) size = available;  // unknown, or cut short
  return std::make_pair(Element{id, bytes.substr(header, size)},
                        header + static_cast<std::size_t>(size));
}

constexpr std::uint32_t kTracks = 0x1654AE6B;
constexpr std::uint32_t kTrackEntry = 0xAE;
constexpr std::uint32_t kCodecId = 0x86;

// Calls visit(element) for the elements of `bytes` in order, up to the
// first that cannot be read; visit returns false to stop.
template <typename Visit>
void ForEachElement(std::string_view bytes, Visit visit) {
  for (int n = 0; n < kMaxItemsPerLevel; ++n) {
    auto element = ReadElement(bytes);
    if (!element || !visit(element->first)) return;
    bytes.remove_prefix(element->second);
  }
}

std::string WebmCodecs(std::string_view init) {
  std::string codecs;
  ForEachElement(init, [&](const Element& top) {
    if (top.id != kSegment) return true;
    ForEachElement(top.body, [&](const Element& child) {
      if (child.id != kTracks) return true;
      ForEachElement(child.body, [&](const Element& entry) {
        if (entry.id != kTrackEntry) return true;
        ForEachElement(entry.body, [&](const Element& field) {
          if (field.id != kCodecId) return true;
          if (!codecs.empty()) codecs += ',';
          codecs += field.body;
          return false;
        });
        return true;
      });
      return false;
    });
    return false;
  });
  return codecs;
}

SegmentInfo ReadWebm(std::string_view chunk) {
  SegmentInfo info;
  auto first = ReadElement(chunk);
  if (!first) return info;
  if (first->first.id == kEbmlHeader || first->first.id == kSegment) {
    info.kind = SegmentInfo::kInit;
  } else if (first->first.id == kCluster) {
    info.kind = SegmentInfo::kMedia;
    std::string_view children = first->first.body;
    for (int n = 0; n < kMaxItemsPerLevel; ++n) {
      auto child = ReadElement(children);
      if (!child) break;
      if (child->first.id == kTimecode && child->first.body.size() <= 8) {
        info.time = BigEndian(child->first.body, 0, child->first.body.size());
        break;
      }
      children.remove_prefix(child->second);
    }
  }
  return info;
}

}  // namespace

std::optional<Container> ContainerOfMime(std::string_view mime) {
  std::string type(mime.substr(0, mime.find(';')));
  type.erase(std::remove_if(type.begin(), type.end(), [](unsigned char c) { return std::isspace(c); }),
             type.end());
  std::transform(type.begin(), type.end(), type.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (type == "video/mp4" || type == "audio/mp4") return Container::kMp4;
  if (type == "video/webm" || type == "audio/webm") return Container::kWebm;
  return std::nullopt;
}

SegmentInfo ReadSegment(Container container, std::string_view chunk) {
  return container == Container::kMp4 ? ReadMp4(chunk) : ReadWebm(chunk);
}

std::optional<std::string> JoinableCodecs(Container container, std::string_view init) {
  if (container != Container::kWebm) return std::nullopt;
  std::string codecs = WebmCodecs(init);
  if (codecs.empty()) return std::nullopt;
  return codecs;
}

const char* ExtensionOf(Container container) {
  return container == Container::kMp4 ? ".mp4" : ".webm";
}

}  // namespace ravo::media
