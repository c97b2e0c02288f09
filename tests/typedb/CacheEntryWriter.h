// Browser cache entries written by the tests, in Chromium's simple-cache
// format and Firefox's cache2 format, from their parts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "typedb/CacheEntry.h"

namespace ravo::test {

using namespace std::string_literals;

// The start of a PNG picture, as bodies of the entries.
inline const std::string kPngBody = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s + std::string(40, 'p');

// The n lowest bytes of value, least significant first.
inline std::string LittleEndianBytes(std::uint64_t value, std::size_t n) {
  std::string bytes;
  for (std::size_t i = 0; i < n; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

inline std::string BigEndianBytes(std::uint32_t value) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((value >> shift) & 0xFF);
  return bytes;
}

struct SimpleEntryParts {
  std::string key = "1/0/_dk_http://127.0.0.1 http://127.0.0.1 http://127.0.0.1/a";
  std::string headers = "HTTP/1.1 200 OK\0Content-Type: image/png\0\0"s;
  bool keySha256 = true;  // the key's hash before the last end record
};

// The header and the key: what the file holds when Chromium has just made it.
inline std::string SimpleCacheEntryStart(const std::string& key) {
  return LittleEndianBytes(0xfcfb6d1ba7725c30, 8) + LittleEndianBytes(5, 4) +
         LittleEndianBytes(key.size(), 4) + LittleEndianBytes(0x12345678, 4) +
         LittleEndianBytes(0, 4) + key;
}

inline std::string SimpleCacheEndRecord(std::uint32_t flags, std::uint32_t streamSize) {
  return LittleEndianBytes(0xf4fa6f45970d41d8, 8) + LittleEndianBytes(flags, 4) +
         LittleEndianBytes(0xCAFEBABE, 4) + LittleEndianBytes(streamSize, 4) +
         LittleEndianBytes(0, 4);
}

// A complete Chromium simple-cache entry whose stream 1 is body.
inline std::string SimpleCacheEntry(const std::string& body, const SimpleEntryParts& parts = {}) {
  std::string entry =
      SimpleCacheEntryStart(parts.key) + body + SimpleCacheEndRecord(1, 0) + parts.headers;
  if (parts.keySha256) entry += std::string(32, '\x5A');
  return entry + SimpleCacheEndRecord(parts.keySha256 ? 3 : 1,
                                      static_cast<std::uint32_t>(parts.headers.size()));
}

// A range of a Chromium sparse entry: its header and data, which the body
// holds from offset on.
inline std::string SparseRange(std::uint64_t offset, const std::string& data) {
  return LittleEndianBytes(0xeb97bf016553676b, 8) + LittleEndianBytes(offset, 8) +
         LittleEndianBytes(data.size(), 8) + LittleEndianBytes(0xCAFEBABE, 4) +
         LittleEndianBytes(0, 4) + data;
}

// A Chromium sparse entry holding the ranges (see SparseRange) in this order.
inline std::string SparseCacheEntry(const std::vector<std::string>& ranges,
                                    const std::string& key = SimpleEntryParts().key) {
  std::string entry = SimpleCacheEntryStart(key);
  for (const std::string& range : ranges) entry += range;
  return entry;
}

struct Cache2Parts {
  std::string key = "a,:http://127.0.0.1/a";
  std::string elements = "request-method\0GET\0response-head\0HTTP/1.1 200 OK\r\n\0"s;
  std::uint32_t version = 3;
};

// A complete Firefox cache2 entry holding body.
inline std::string Cache2Entry(const std::string& body, const Cache2Parts& parts = {}) {
  std::size_t chunks = (body.size() + 256 * 1024 - 1) / (256 * 1024);
  std::string hashed = std::string(2 * chunks, '\x11') + BigEndianBytes(parts.version);
  for (std::uint32_t field : {1u, 1700000000u, 1700000000u, 100u, 0xFFFFFFFFu}) {
    hashed += BigEndianBytes(field);
  }
  hashed += BigEndianBytes(static_cast<std::uint32_t>(parts.key.size()));
  if (parts.version >= 2) hashed += BigEndianBytes(0);  // flags
  hashed += parts.key + '\0' + parts.elements;
  std::string trailer = parts.version >= 4 ? BigEndianBytes(4) : "";
  return body + BigEndianBytes(Cache2MetadataHash(hashed)) + hashed + trailer +
         BigEndianBytes(static_cast<std::uint32_t>(body.size()));
}

}  // namespace ravo::test
