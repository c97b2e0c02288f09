// Small type databases written by the tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "tests/support/TestSupport.h"
#include "typedb/ExtRecord.h"

namespace ravo::test {

// A record; SigLen is the signature's length unless given.
inline std::string Record(const std::string& ext, std::int32_t sigOffset,
                          const std::string& signature, const std::string& description,
                          std::optional<std::int32_t> sigLen = std::nullopt) {
  TExtInfo info;
  info.Ext = ext;
  info.SigOffset = sigOffset;
  info.Signature = signature;
  info.SigLen = sigLen.value_or(static_cast<std::int32_t>(signature.size()));
  info.Description = description;
  return EncodeExtRecord(info);
}

// A record found only by its extension.
inline std::string ExtOnly(const std::string& ext, const std::string& description) {
  return Record(ext, 0, "", description);
}

// The record with one byte replaced, to break a limit or fill a filler.
inline std::string Poke(std::string record, std::size_t at, unsigned char value) {
  record.at(at) = static_cast<char>(value);
  return record;
}

inline std::string Concat(std::initializer_list<std::string> records) {
  std::string bytes;
  for (const std::string& record : records) bytes += record;
  return bytes;
}

// A header holding the bytes at the offset, zero elsewhere.
inline FileHeader HeaderWith(std::size_t offset, const std::string& bytes) {
  FileHeader header{};
  bytes.copy(header.data() + offset, bytes.size());
  return header;
}

}  // namespace ravo::test
