#include "typedb/CacheEntry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

#include "typedb/ByteOrder.h"

namespace ravo {
namespace {

constexpr std::uint64_t kSimpleInitialMagic = 0xfcfb6d1ba7725c30;
constexpr std::uint64_t kSimpleFinalMagic = 0xf4fa6f45970d41d8;
constexpr std::size_t kSimpleKeyLengthAt = 12;
constexpr std::size_t kSimpleEndRecordSize = 24;
constexpr std::size_t kEndFlagsAt = 8;
constexpr std::size_t kEndStreamSizeAt = 16;
constexpr std::uint32_t kEndHasKeySha256 = 1u << 1;
constexpr std::uint64_t kKeySha256Size = 32;
constexpr std::uint64_t kSparseRangeMagic = 0xeb97bf016553676b;
constexpr std::size_t kSparseRangeHeaderSize = 32;
constexpr std::size_t kSparseOffsetAt = 8;
constexpr std::size_t kSparseLengthAt = 16;
// A sparse entry holds ranges in the order they were fetched; one whose
// body needs more is read only as far as this many ranges, so that a
// damaged or crafted entry costs a bounded amount of work (a 2 GB video
// fetched in 1 MB ranges has about 2,000).
constexpr std::size_t kMaxSparseRanges = 8192;
// Keys hold a URL (Chromium accepts up to 2 MiB) and the sites it was
// loaded for; anything longer is no key.
constexpr std::uint64_t kMaxKeyLength = 4 << 20;

constexpr std::uint64_t kCache2ChunkSize = 256 * 1024;
constexpr std::size_t kCache2OffsetSize = 4;
constexpr std::size_t kCache2HashSize = 4;
constexpr std::size_t kCache2HeaderFields = 8;
constexpr std::size_t kCache2KeySizeField = 6;
constexpr std::uint32_t kCache2LastVersion = 4;
// Room for the longest key and elements Firefox writes (64 KiB of
// elements) after the chunk hashes; a larger tail is no metadata.
constexpr std::uint64_t kCache2MaxMetadata = kMaxKeyLength + (1 << 20);
constexpr std::string_view kAltDataElement = "alt-data";

// The unsigned number of `width` bytes at `at`, least significant first.
std::uint32_t LittleEndian32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(LittleEndianAt(bytes, at, 4));
}

std::string_view View(const auto& buffer) { return {buffer.data(), buffer.size()}; }

// --- Chromium simple cache -------------------------------------------------

// The stream size and flags of an end record.
struct EndRecord {
  std::uint32_t flags = 0;
  std::uint32_t streamSize = 0;
};

std::optional<EndRecord> ReadEndRecord(const platform::ReadOnlyFile& file, std::uint64_t at) {
  std::array<char, kSimpleEndRecordSize> bytes;
  if (!file.ReadAt(at, bytes) || LittleEndianAt(View(bytes), 0, 8) != kSimpleFinalMagic) {
    return std::nullopt;
  }
  return EndRecord{LittleEndian32(View(bytes), kEndFlagsAt),
                   LittleEndian32(View(bytes), kEndStreamSizeAt)};
}

// Stream 1 of a complete entry: it starts after the key and ends at its end
// record, which lies before stream 0, the key's hash and the last end
// record. Both end records must be in their places.
std::optional<BodyRange> SimpleCacheBody(const platform::ReadOnlyFile& file,
                                         std::string_view header) {
  std::optional<std::uint64_t> size = file.Size();
  std::uint64_t bodyStart = kSimpleCacheHeaderSize + LittleEndian32(header, kSimpleKeyLengthAt);
  if (!size || *size < bodyStart + 2 * kSimpleEndRecordSize) return std::nullopt;
  std::optional<EndRecord> last = ReadEndRecord(file, *size - kSimpleEndRecordSize);
  if (!last) return std::nullopt;
  std::uint64_t tail = kSimpleEndRecordSize + last->streamSize +
                       ((last->flags & kEndHasKeySha256) ? kKeySha256Size : 0);
  // At least one end record's worth is left after bodyStart (checked above).
  if (*size - bodyStart - kSimpleEndRecordSize < tail) return std::nullopt;
  std::uint64_t bodyEnd = *size - tail - kSimpleEndRecordSize;
  if (!ReadEndRecord(file, bodyEnd)) return std::nullopt;
  return BodyRange{bodyStart, bodyEnd - bodyStart};
}

// A range of a sparse entry: where its bytes lie in the body and in the file.
struct SparseRange {
  std::uint64_t bodyOffset = 0;
  BodyRange inFile;
};

// The ranges that follow the key, up to the first that is damaged or cut
// short (the browser may be writing it), and at most kMaxSparseRanges of
// them.
std::vector<SparseRange> ReadSparseRanges(const platform::ReadOnlyFile& file,
                                          std::string_view header) {
  std::vector<SparseRange> ranges;
  std::optional<std::uint64_t> size = file.Size();
  std::uint64_t at = kSimpleCacheHeaderSize + LittleEndian32(header, kSimpleKeyLengthAt);
  std::array<char, kSparseRangeHeaderSize> bytes;
  for (std::size_t read = 0; read < kMaxSparseRanges && size && at <= *size &&
                             *size - at >= kSparseRangeHeaderSize && file.ReadAt(at, bytes) &&
                             LittleEndianAt(View(bytes), 0, 8) == kSparseRangeMagic;
       ++read) {
    // Offsets and lengths are signed on disk: a negative one reads as more
    // than either bound here.
    std::uint64_t offset = LittleEndianAt(View(bytes), kSparseOffsetAt, 8);
    std::uint64_t length = LittleEndianAt(View(bytes), kSparseLengthAt, 8);
    std::uint64_t dataAt = at + kSparseRangeHeaderSize;
    if (offset > std::numeric_limits<std::int64_t>::max() || length > *size - dataAt) break;
    ranges.push_back({offset, {dataAt, length}});
    at = dataAt + length;
  }
  return ranges;
}

// The body of a sparse entry as far as its ranges hold it without a gap from
// its start; nullopt when no whole range follows the key. Overlapping ranges
// give each byte once.
std::optional<BodyPieces> SparseCacheBody(const platform::ReadOnlyFile& file,
                                          std::string_view header) {
  std::vector<SparseRange> ranges = ReadSparseRanges(file, header);
  if (ranges.empty()) return std::nullopt;
  std::sort(ranges.begin(), ranges.end(), [](const SparseRange& a, const SparseRange& b) {
    return a.bodyOffset < b.bodyOffset;
  });
  BodyPieces pieces;
  std::uint64_t covered = 0;
  for (const SparseRange& range : ranges) {
    if (range.bodyOffset > covered) break;
    std::uint64_t end = range.bodyOffset + range.inFile.length;
    if (end <= covered) continue;
    pieces.push_back({range.inFile.offset + (covered - range.bodyOffset), end - covered});
    covered = end;
  }
  return pieces;
}

// The body of a complete simple-cache entry or of a sparse entry.
std::optional<BodyPieces> ChromiumBody(const platform::ReadOnlyFile& file,
                                       std::string_view header) {
  if (std::optional<BodyRange> body = SimpleCacheBody(file, header)) return BodyPieces{*body};
  return SparseCacheBody(file, header);
}

// The header of the file if it is that of a simple-cache entry.
std::optional<std::array<char, kSimpleCacheHeaderSize>> ReadSimpleCacheHeader(
    const platform::ReadOnlyFile& file) {
  std::array<char, kSimpleCacheHeaderSize> header;
  if (!file.ReadAt(0, header) || !HasSimpleCacheHeader(View(header))) return std::nullopt;
  return header;
}

// --- Firefox cache2 --------------------------------------------------------

void Lookup2Mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
  a -= b, a -= c, a ^= c >> 13;
  b -= c, b -= a, b ^= a << 8;
  c -= a, c -= b, c ^= b >> 13;
  a -= b, a -= c, a ^= c >> 12;
  b -= c, b -= a, b ^= a << 16;
  c -= a, c -= b, c ^= b >> 5;
  a -= b, a -= c, a ^= c >> 3;
  b -= c, b -= a, b ^= a << 10;
  c -= a, c -= b, c ^= b >> 15;
}

// The value of the "alt-data" element ("<version>;<offset>,<type>"): the
// offset at which a second representation (such as compiled script) follows
// the body. nullopt when the elements hold none that can be read.
std::optional<std::uint64_t> AltDataOffset(std::string_view elements) {
  while (!elements.empty()) {
    std::size_t nameEnd = elements.find('\0');
    if (nameEnd == std::string_view::npos) break;
    std::size_t valueEnd = elements.find('\0', nameEnd + 1);
    if (valueEnd == std::string_view::npos) break;
    std::string_view name = elements.substr(0, nameEnd);
    std::string_view value = elements.substr(nameEnd + 1, valueEnd - nameEnd - 1);
    elements.remove_prefix(valueEnd + 1);
    if (name != kAltDataElement || !value.starts_with("1;")) continue;
    std::uint64_t offset = 0;
    auto [end, error] = std::from_chars(value.data() + 2, value.data() + value.size(), offset);
    if (error == std::errc() && end != value.data() + value.size() && *end == ',') return offset;
  }
  return std::nullopt;
}

// Elements are name and value pairs of texts ending in a zero byte.
bool ElementsAreWellFormed(std::string_view elements) {
  return elements.empty() ||
         (elements.back() == '\0' && std::count(elements.begin(), elements.end(), '\0') % 2 == 0);
}

// The body's length by the metadata that follows it at `metaOffset`, or
// nullopt when `meta` is not whole and sound metadata: its version known,
// its key and elements inside it, its hash right.
std::optional<std::uint64_t> Cache2BodyLength(std::string_view meta, std::uint64_t metaOffset) {
  std::uint64_t chunks = (metaOffset + kCache2ChunkSize - 1) / kCache2ChunkSize;
  std::uint64_t headerAt = kCache2HashSize + 2 * chunks;
  // The shortest header (version 1 has no flags field), a key's zero byte
  // and the offset must fit; the rest is checked once the version is known.
  std::uint64_t headerSize = 4 * (kCache2HeaderFields - 1);
  if (meta.size() < headerAt + headerSize + 1 + kCache2OffsetSize) return std::nullopt;
  std::uint32_t version = BigEndian32At(meta, headerAt);
  if (version < 1 || version > kCache2LastVersion) return std::nullopt;
  if (version >= 2) headerSize += 4;
  // Version 4 adds four bytes after the elements.
  std::uint64_t keyAt = headerAt + headerSize;
  std::uint64_t end = meta.size() - kCache2OffsetSize - (version >= 4 ? 4 : 0);
  std::uint64_t elementsAt = keyAt + BigEndian32At(meta, headerAt + 4 * kCache2KeySizeField) + 1;
  if (elementsAt > end || meta[elementsAt - 1] != '\0') return std::nullopt;
  std::string_view hashed = meta.substr(kCache2HashSize, end - kCache2HashSize);
  if (Cache2MetadataHash(hashed) != BigEndian32At(meta, 0)) return std::nullopt;
  std::string_view elements = meta.substr(elementsAt, end - elementsAt);
  if (!ElementsAreWellFormed(elements)) return std::nullopt;
  std::optional<std::uint64_t> altData = AltDataOffset(elements);
  return altData && *altData <= metaOffset ? *altData : metaOffset;
}

std::optional<BodyRange> Cache2Body(const platform::ReadOnlyFile& file) {
  std::optional<std::uint64_t> size = file.Size();
  std::array<char, kCache2OffsetSize> last;
  if (!size || *size < kCache2OffsetSize || !file.ReadAt(*size - kCache2OffsetSize, last)) {
    return std::nullopt;
  }
  std::uint64_t metaOffset = BigEndian32At(View(last), 0);
  if (metaOffset > *size - kCache2OffsetSize) return std::nullopt;
  std::uint64_t metaSize = *size - metaOffset;
  if (metaSize > kCache2MaxMetadata + 2 * (metaOffset / kCache2ChunkSize + 1)) return std::nullopt;
  std::string meta(metaSize, '\0');
  if (!file.ReadAt(metaOffset, meta)) return std::nullopt;
  std::optional<std::uint64_t> length = Cache2BodyLength(meta, metaOffset);
  if (!length) return std::nullopt;
  return BodyRange{0, *length};
}

}  // namespace

bool HasSimpleCacheHeader(std::string_view start) {
  if (start.size() < kSimpleCacheHeaderSize) return false;
  std::uint32_t keyLength = LittleEndian32(start, kSimpleKeyLengthAt);
  return LittleEndianAt(start, 0, 8) == kSimpleInitialMagic && keyLength > 0 &&
         keyLength <= kMaxKeyLength;
}

BodyPieces ContentPieces(const platform::ReadOnlyFile& file) {
  if (std::optional<BodyPieces> body = CacheEntryBody(file)) return std::move(*body);
  if (std::optional<std::uint64_t> size = file.Size()) return {{0, *size}};
  return {};
}

std::optional<BodyPieces> CacheEntryBody(const platform::ReadOnlyFile& file) {
  if (auto header = ReadSimpleCacheHeader(file)) return ChromiumBody(file, View(*header));
  if (std::optional<BodyRange> body = Cache2Body(file)) return BodyPieces{*body};
  return std::nullopt;
}

std::optional<FileHeader> SimpleCacheBodyHeader(const std::string& path) {
  platform::ReadOnlyFile file(path);
  std::optional<std::array<char, kSimpleCacheHeaderSize>> header = ReadSimpleCacheHeader(file);
  if (!header) return std::nullopt;
  std::optional<BodyPieces> body = ChromiumBody(file, View(*header));
  if (!body) return std::nullopt;
  FileHeader bodyHeader{};
  std::span<char> left(bodyHeader);
  for (const BodyRange& piece : *body) {
    std::size_t length =
        static_cast<std::size_t>(std::min<std::uint64_t>(piece.length, left.size()));
    if (!file.ReadAt(piece.offset, left.first(length))) return std::nullopt;
    left = left.subspan(length);
  }
  return bodyHeader;
}

bool IsCache2EntryName(std::string_view name) {
  return name.size() == 40 && std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
         });
}

std::optional<std::uint64_t> ShortCache2BodyLength(const std::string& path, std::uint64_t limit) {
  platform::ReadOnlyFile file(path);
  std::optional<std::uint64_t> size = file.Size();
  std::array<char, kCache2OffsetSize> last;
  // The last four bytes hold where the metadata starts: only an entry whose
  // metadata starts early is read any further.
  if (!size || *size < kCache2OffsetSize || !file.ReadAt(*size - kCache2OffsetSize, last) ||
      BigEndian32At(View(last), 0) >= limit) {
    return std::nullopt;
  }
  std::optional<BodyRange> body = Cache2Body(file);
  if (!body || body->length >= limit) return std::nullopt;
  return body->length;
}

bool IsIncompleteCacheEntry(const std::string& path) {
  platform::ReadOnlyFile file(path);
  std::optional<std::array<char, kSimpleCacheHeaderSize>> header = ReadSimpleCacheHeader(file);
  return header && !ChromiumBody(file, View(*header));
}

std::uint32_t Cache2MetadataHash(std::string_view bytes) {
  std::uint32_t a = 0x9e3779b9;  // the golden ratio, as the algorithm starts
  std::uint32_t b = a;
  std::uint32_t c = 0;
  std::size_t at = 0;
  for (; bytes.size() - at >= 12; at += 12) {
    a += LittleEndian32(bytes, at);
    b += LittleEndian32(bytes, at + 4);
    c += LittleEndian32(bytes, at + 8);
    Lookup2Mix(a, b, c);
  }
  // The last 0 to 11 bytes, zero-padded; the low byte of c takes the length.
  std::array<char, 12> rest{};
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), rest.begin());
  a += LittleEndian32(View(rest), 0);
  b += LittleEndian32(View(rest), 4);
  c += static_cast<std::uint32_t>(bytes.size()) + (LittleEndian32(View(rest), 8) << 8);
  Lookup2Mix(a, b, c);
  return c;
}

}  // namespace ravo
