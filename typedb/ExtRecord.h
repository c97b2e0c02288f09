// The 284-byte record of the type database and its byte layout.
//
// Record layout (integers little-endian two's complement, texts as a length
// byte followed by a fixed character area of which only `length` bytes count):
//   0  Ext length (0..10)      1  Ext characters (10)     11  filler
//   12 SigOffset (int32)       16 SigLen (int32)          20  Signature (11)
//   31 Description length (0..250)   32 Description characters (250)
//   282 filler (2)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ravo {

inline constexpr std::size_t kExtInfoSize = 284;
inline constexpr std::size_t kHeaderSize = 51;
inline constexpr std::size_t kExtCapacity = 10;
inline constexpr std::size_t kSignatureCapacity = 11;
inline constexpr std::size_t kDescriptionCapacity = 250;

// The first 51 bytes of a file, zero beyond the end of a shorter one.
using FileHeader = std::array<char, kHeaderSize>;

// The fields of one record. Signature holds only the bytes that are
// compared: the first SigLen bytes of the area, or nothing when SigLen < 1.
struct TExtInfo {
  std::string Ext;
  std::int32_t SigOffset = 0;
  std::int32_t SigLen = 0;
  std::string Signature;
  std::string Description;
};

// A record as the lookups see it.
struct ExtRecord {
  TExtInfo info;
  // Byte 1 (the first character of Ext) is '*', whatever the Ext length byte
  // says: with a signature, the record stands for a family of formats.
  bool family = false;

  bool HasSignature() const { return info.SigLen > 0; }
};

// Decodes a record from exactly kExtInfoSize bytes. nullopt for a record
// that breaks the format's limits (a text length beyond its area, SigLen
// above 11, a signature reaching outside the 51-byte header): such a record
// names nothing, and nothing outside the record is ever read for it.
std::optional<ExtRecord> DecodeExtRecord(std::string_view bytes);

// The 284 bytes of a record holding these fields; unused areas and fillers
// are zero. A family record is written by giving Ext a leading '*'. Throws
// std::invalid_argument when a text or the signature exceeds its area.
std::string EncodeExtRecord(const TExtInfo& fields);

}  // namespace ravo
