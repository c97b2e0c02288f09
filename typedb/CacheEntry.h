// Browsers' cache entries: where the body of a cached response (the bytes
// the server sent) lies in the file that a browser keeps it in.
//
// Chromium's simple cache (Chrome, Chromium, Edge, Qt WebEngine and Electron
// on Linux) keeps a response in a file named "<16 hex digits>_0":
//   header, 24 bytes, little-endian: magic 0xfcfb6d1ba7725c30 (8),
//     version (4), key length (4), key hash (4), padding (4)
//   the key: the request's URL and the sites it was loaded for
//   stream 1: the body
//   end record of stream 1, 24 bytes: magic 0xf4fa6f45970d41d8 (8),
//     flags (4), CRC-32 (4), stream size (4), padding (4)
//   stream 0: the response headers
//   the key's SHA-256 (32 bytes) when the last end record's flags have bit 1
//   end record of stream 0, whose stream size is the size of stream 0
// The browser writes the header and key first, the body as it arrives, and
// the end records and headers when the entry is complete.
//
// A body the browser fetched in parts (media that a page's <video> or
// <audio> element loads from a server that serves byte ranges) is kept in a
// sparse entry, "<16 hex digits>_s": the same header and key, then ranges,
// each a 32-byte header, little-endian: magic 0xeb97bf016553676b (8), the
// range's offset in the body (8), its length (8), CRC-32 (4), padding (4);
// then its bytes. Ranges come in the order they were fetched, not the
// body's; what can be identified and kept is the part of the body that is
// there without a gap from its start.
//
// Firefox's cache2 keeps a response in "cache2/entries/<40 hex digits>": the
// body, then its metadata, and in the last four bytes the metadata's offset
// (the body's length) as a big-endian 32-bit number. The metadata: a hash of
// what follows it up to the end of the elements (4), a 16-bit hash per
// 256 KiB chunk of the body, a header of eight big-endian 32-bit numbers
// (seven in version 1) with the version first and the key length seventh,
// the key and a zero byte, the elements (name and value pairs, each text
// ending in a zero byte), and from version 4 on four more bytes.
//
// Every offset read from a file is checked against the file's size before
// anything is read there: a truncated, damaged or unfinished entry is simply
// no entry, and the file is treated like any other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileRead.h"
#include "typedb/ExtRecord.h"

namespace ravo {

// A part of an entry file that holds body bytes.
using BodyRange = platform::FileRange;

// The parts of an entry file that hold a body, in the body's order: one for
// a whole entry, as many as it takes for a sparse one.
using BodyPieces = std::vector<BodyRange>;

// The size of the header a Chromium simple-cache entry starts with.
inline constexpr std::size_t kSimpleCacheHeaderSize = 24;

// True when `start` (a file's first bytes) begins like a Chromium
// simple-cache entry: the magic number and a key length that a request's key
// can have.
bool HasSimpleCacheHeader(std::string_view start);

// The body of the complete Chromium simple-cache entry, Firefox cache2 entry
// or Chromium sparse entry (the part without a gap from its start) held by
// the file; nullopt for any other file.
std::optional<BodyPieces> CacheEntryBody(const platform::ReadOnlyFile& file);

// What the user sees of the file: the body of a cache entry (as
// CacheEntryBody), else the whole file as one piece. Empty when its size
// cannot be taken.
BodyPieces ContentPieces(const platform::ReadOnlyFile& file);

// The first kHeaderSize bytes of the body of the complete Chromium
// simple-cache entry or sparse entry at path, zero beyond the end of a
// shorter body: what identification looks at instead of the file's own
// first bytes. nullopt for any other file.
std::optional<FileHeader> SimpleCacheBodyHeader(const std::string& path);

// True when the file name is that of a Firefox cache2 entry: 40 hexadecimal
// digits (upper case, as Firefox writes them), nothing else.
bool IsCache2EntryName(std::string_view name);

// The length of the body of the Firefox cache2 entry at path when it is
// shorter than `limit` bytes; nullopt for a longer body or any other file.
// A short body is followed by the entry's metadata, whose bytes are no part
// of what the server sent.
std::optional<std::uint64_t> ShortCache2BodyLength(const std::string& path, std::uint64_t limit);

// True for a Chromium simple-cache entry whose header is written but neither
// its end records nor a whole sparse range (yet): the browser is still
// writing it, and it is worth looking at again as it grows.
bool IsIncompleteCacheEntry(const std::string& path);

// The hash that Firefox's cache2 metadata starts with, over the bytes that
// follow it (Bob Jenkins' lookup2 hash with initial value 0).
std::uint32_t Cache2MetadataHash(std::string_view bytes);

}  // namespace ravo
