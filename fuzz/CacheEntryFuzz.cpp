// Arbitrary bytes as the content of one file, read as a browser's cache
// entry (Chromium's simple cache, its sparse entries, Firefox's cache2) and
// identified against the shipped type database, which looks inside a file
// that starts like a Chromium entry.
//
// Besides what the sanitizers catch, the readers must agree with each other:
// body pieces lie inside the file, a Firefox body is the start of the file
// before its metadata, a Chromium entry is either complete (and then has a
// body header made of its body's first bytes) or still being written, and
// identification gives the verdict of the bytes it looks at.
//
// Firefox's metadata starts with a hash of what follows it, which mutated
// bytes almost never carry. Each input is therefore also read with the hash
// put right where its last four bytes place the metadata, so that the
// checks behind the hash (version, key, elements, alt-data) are reached.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "fsutil/PathText.h"
#include "fuzz/FuzzSupport.h"
#include "platform/FileRead.h"
#include "typedb/ByteOrder.h"
#include "typedb/CacheEntry.h"
#include "typedb/DetectFileType.h"
#include "typedb/ExtRecord.h"
#include "typedb/velScanext.h"

namespace {

using ravo::fuzz::Expect;

// The names the file is given, picked by the input's last byte: the name's
// extension is what identification falls back on, and what a family record
// of the database keeps.
constexpr std::string_view kNames[] = {
    "0123456789abcdef_0", "0123456789abcdef_s", "entry.jpg", "entry.PNG",
    "entry.mp4",          "entry.m4a",          "entry.swf", "entry.aac",
    "entry.txt",          "entry.",             "entry.averylongextension",
};

const ravo::fuzz::ScratchDir& Scratch() {
  static const ravo::fuzz::ScratchDir dir;
  return dir;
}

// The first kHeaderSize bytes of the file's content, zero beyond its end.
ravo::FileHeader StartOf(std::string_view bytes) {
  ravo::FileHeader header{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), header.size()), header.begin());
  return header;
}

// The first kHeaderSize bytes of the body made of these pieces of the file,
// zero beyond the end of a shorter body.
ravo::FileHeader BodyStartOf(std::string_view bytes, const ravo::BodyPieces& pieces) {
  ravo::FileHeader header{};
  std::size_t filled = 0;
  for (const ravo::BodyRange& piece : pieces) {
    std::size_t n = static_cast<std::size_t>(
        std::min<std::uint64_t>(piece.length, header.size() - filled));
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(piece.offset), n,
                header.begin() + static_cast<std::ptrdiff_t>(filled));
    filled += n;
  }
  return header;
}

// The metadata offset that a Firefox entry keeps in its last four bytes.
std::optional<std::uint64_t> Cache2MetadataOffset(std::string_view bytes) {
  if (bytes.size() < 4) return std::nullopt;
  return ravo::BigEndian32At(bytes, bytes.size() - 4);
}

// A body read from a file that does not start like a Chromium entry is
// Firefox's: it starts the file and ends at or before the metadata.
void CheckCache2Body(const std::optional<ravo::BodyPieces>& body, std::string_view bytes) {
  if (!body) return;
  std::optional<std::uint64_t> metaOffset = Cache2MetadataOffset(bytes);
  Expect(metaOffset && body->size() == 1 && body->front().offset == 0 &&
             body->front().length <= *metaOffset,
         "a Firefox body starts the file and ends before its metadata");
}

// The bytes with the metadata hash recomputed, as Firefox writes it, where
// the last four bytes place the metadata; nullopt when no hash fits there.
std::optional<std::string> WithCache2Hash(std::string_view bytes) {
  constexpr std::uint64_t kChunkSize = 256 * 1024;
  std::optional<std::uint64_t> metaOffset = Cache2MetadataOffset(bytes);
  if (!metaOffset || *metaOffset > bytes.size() - 4) return std::nullopt;
  std::uint64_t headerAt = *metaOffset + 4 + 2 * ((*metaOffset + kChunkSize - 1) / kChunkSize);
  if (headerAt + 4 > bytes.size() - 4) return std::nullopt;
  // Version 4 and later keep four more bytes after the hashed part.
  std::uint64_t end = bytes.size() - 4 - (ravo::BigEndian32At(bytes, headerAt) >= 4 ? 4 : 0);
  if (end < headerAt) return std::nullopt;
  std::uint32_t hash =
      ravo::Cache2MetadataHash(bytes.substr(*metaOffset + 4, end - (*metaOffset + 4)));
  std::string fixed(bytes);
  for (std::size_t i = 0; i < 4; ++i) {
    fixed[*metaOffset + i] = static_cast<char>(hash >> (24 - 8 * i));
  }
  return fixed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravo;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string_view name = kNames[size == 0 ? 0 : data[size - 1] % std::size(kNames)];
  const std::string path = Scratch().Write(name, bytes);

  std::optional<BodyPieces> body;
  {
    platform::ReadOnlyFile file(path);
    Expect(file.IsOpen(), "the scratch file opens for reading");
    body = CacheEntryBody(file);
  }
  if (body) {
    for (const BodyRange& piece : *body) {
      Expect(piece.offset <= size && piece.length <= size - piece.offset,
             "every body piece lies inside the file");
    }
  }

  const bool chromium = HasSimpleCacheHeader(bytes);
  std::optional<FileHeader> bodyHeader = SimpleCacheBodyHeader(path);
  const bool incomplete = IsIncompleteCacheEntry(path);
  if (chromium) {
    Expect(incomplete != bodyHeader.has_value(),
           "a Chromium entry is either complete or still being written");
    Expect(body.has_value() == bodyHeader.has_value(),
           "a Chromium entry has a body header exactly when it has a body");
    if (body && bodyHeader) {
      Expect(*bodyHeader == BodyStartOf(bytes, *body),
             "the body header is the first bytes of the body");
    }
  } else {
    Expect(!bodyHeader && !incomplete,
           "only a file that starts like a Chromium entry has a body header or is incomplete");
    CheckCache2Body(body, bytes);
  }

  // Identification names what the database's signatures make of the bytes
  // it looks at (the body's start for a Chromium entry that has a body),
  // else what the name's extension stands for.
  const std::string databasePath = RAVO_FUZZ_EXT_DB;
  std::string type = DetectFileType(path, databasePath);
  Expect(type.size() <= kExtCapacity, "a detected type fits a record's Ext");
  std::string ext = ExtOf(path);
  std::string ext10 = ext.substr(0, kExtCapacity);
  FileHeader looked = bodyHeader ? *bodyHeader : StartOf(bytes);
  if (auto verdict = MatchSignature(databasePath, ext10, looked)) {
    Expect(type == *verdict, "identification gives the signature verdict of the bytes it reads");
  } else {
    auto found = LookupByExt(databasePath, ext);
    Expect(type == (found && !IsBlank(found->Description) ? found->Ext : ext10),
           "without a verdict identification goes by the name's extension");
  }

  if (!chromium) {
    std::optional<std::string> fixed = WithCache2Hash(bytes);
    if (fixed && *fixed != bytes && !HasSimpleCacheHeader(*fixed)) {
      Scratch().Write(name, *fixed);
      platform::ReadOnlyFile file(path);
      Expect(file.IsOpen(), "the scratch file opens for reading");
      std::optional<BodyPieces> fixedBody = CacheEntryBody(file);
      CheckCache2Body(fixedBody, *fixed);
    }
  }

  Scratch().Remove(path);
  return 0;
}
