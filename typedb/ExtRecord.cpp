#include "typedb/ExtRecord.h"

#include <stdexcept>

#include "typedb/ByteOrder.h"

namespace ravo {
namespace {

constexpr std::size_t kExtAt = 0;
constexpr std::size_t kSigOffsetAt = 12;
constexpr std::size_t kSigLenAt = 16;
constexpr std::size_t kSignatureAt = 20;
constexpr std::size_t kDescriptionAt = 31;

std::int32_t Int32At(std::string_view bytes, std::size_t at) {
  return static_cast<std::int32_t>(LittleEndianAt(bytes, at, 4));
}

void PutInt32(std::string& bytes, std::size_t at, std::int32_t value) {
  auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

// The valid characters of the length-prefixed text at `at`, or nullopt when
// its length byte exceeds the capacity of its area.
std::optional<std::string> TextAt(std::string_view bytes, std::size_t at, std::size_t capacity) {
  std::size_t length = static_cast<unsigned char>(bytes[at]);
  if (length > capacity) return std::nullopt;
  return std::string(bytes.substr(at + 1, length));
}

void PutText(std::string& bytes, std::size_t at, std::size_t capacity, std::string_view text,
             const char* field) {
  if (text.size() > capacity) {
    throw std::invalid_argument(std::string(field) + " longer than its area: " + std::string(text));
  }
  bytes[at] = static_cast<char>(text.size());
  bytes.replace(at + 1, text.size(), text);
}

// A signature must lie within the first 51 bytes of a file. Computed in 64
// bits: SigOffset + SigLen can overflow 32.
bool SignatureFitsHeader(std::int32_t offset, std::int32_t length) {
  return offset >= 0 && length <= static_cast<std::int32_t>(kSignatureCapacity) &&
         static_cast<std::int64_t>(offset) + length <= static_cast<std::int64_t>(kHeaderSize);
}

}  // namespace

std::optional<ExtRecord> DecodeExtRecord(std::string_view bytes) {
  if (bytes.size() != kExtInfoSize) return std::nullopt;
  auto ext = TextAt(bytes, kExtAt, kExtCapacity);
  auto description = TextAt(bytes, kDescriptionAt, kDescriptionCapacity);
  if (!ext || !description) return std::nullopt;

  ExtRecord record;
  record.info.Ext = std::move(*ext);
  record.info.Description = std::move(*description);
  record.info.SigOffset = Int32At(bytes, kSigOffsetAt);
  record.info.SigLen = Int32At(bytes, kSigLenAt);
  record.family = bytes[kExtAt + 1] == '*';
  if (record.HasSignature()) {
    if (!SignatureFitsHeader(record.info.SigOffset, record.info.SigLen)) return std::nullopt;
    record.info.Signature = std::string(bytes.substr(kSignatureAt, record.info.SigLen));
  }
  return record;
}

std::string EncodeExtRecord(const TExtInfo& fields) {
  std::string bytes(kExtInfoSize, '\0');
  PutText(bytes, kExtAt, kExtCapacity, fields.Ext, "Ext");
  PutInt32(bytes, kSigOffsetAt, fields.SigOffset);
  PutInt32(bytes, kSigLenAt, fields.SigLen);
  if (fields.Signature.size() > kSignatureCapacity) {
    throw std::invalid_argument("Signature longer than 11 bytes");
  }
  bytes.replace(kSignatureAt, fields.Signature.size(), fields.Signature);
  PutText(bytes, kDescriptionAt, kDescriptionCapacity, fields.Description, "Description");
  return bytes;
}

}  // namespace ravo
