#include "platform/NotifyRecords.h"

#include <cstdint>
#include <cstring>

namespace ravo::platform {
namespace {

constexpr std::size_t kHeaderSize = 12;  // three 32-bit fields

std::uint32_t ReadU32(std::span<const std::byte> buffer, std::size_t at) {
  std::uint32_t value;
  std::memcpy(&value, buffer.data() + at, sizeof value);  // records need not be aligned
  return value;
}

std::u16string ReadName(std::span<const std::byte> buffer, std::size_t at, std::size_t bytes) {
  std::u16string name(bytes / 2, u'\0');
  std::memcpy(name.data(), buffer.data() + at, name.size() * 2);
  return name;
}

}  // namespace

std::size_t ChangeRecordSize(const ChangeRecord& record) {
  return (kHeaderSize + 2 * record.name.size() + 3) & ~std::size_t{3};
}

std::vector<ChangeRecord> DecodeNotifyBuffer(std::span<const std::byte> buffer,
                                             const WideToNarrow& narrow) {
  std::vector<ChangeRecord> records;
  std::size_t at = 0;
  while (at <= buffer.size() && buffer.size() - at >= kHeaderSize) {
    std::uint32_t next = ReadU32(buffer, at);
    std::uint32_t action = ReadU32(buffer, at + 4);
    std::uint32_t nameBytes = ReadU32(buffer, at + 8);
    if (nameBytes > buffer.size() - at - kHeaderSize) break;
    records.push_back({static_cast<int>(action), narrow(ReadName(buffer, at + kHeaderSize, nameBytes))});
    if (next == 0 || next >= buffer.size() - at) break;
    at += next;
  }
  return records;
}

}  // namespace ravo::platform
