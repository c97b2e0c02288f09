// Arbitrary bytes as a change read buffer (the FILE_NOTIFY_INFORMATION
// record list that ReadDirectoryChangesW fills), walked by
// DecodeNotifyBuffer.
//
// The buffer is walked where libFuzzer put it and again from an odd address
// at the very end of its allocation: the records are not aligned in a real
// buffer either, and the walk must neither read past the end nor depend on
// where the buffer lies.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/ChangePort.h"
#include "platform/NotifyRecords.h"

namespace {

using ravo::fuzz::Expect;

// One byte per UTF-16 unit: ASCII passes, anything else becomes '?'.
std::string Narrow(std::u16string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char16_t c : name) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::uint32_t U32At(const std::uint8_t* data, std::size_t at) {
  std::uint32_t value;
  std::memcpy(&value, data + at, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravo::platform;
  constexpr std::size_t kRecordHeader = 12;

  std::span<const std::byte> buffer(reinterpret_cast<const std::byte*>(data), size);
  std::vector<ChangeRecord> records = DecodeNotifyBuffer(buffer, Narrow);

  // Every record starts at least one byte after the one before it and needs
  // its whole header inside the buffer.
  Expect(records.size() <= (size >= kRecordHeader ? size - kRecordHeader + 1 : 0),
         "no more records than places a header fits");
  for (const ChangeRecord& record : records) {
    Expect(record.name.size() <= (size - kRecordHeader) / 2,
           "a name is no longer than the buffer holds");
    std::size_t room = ChangeRecordSize(record);
    Expect(room >= kRecordHeader + 2 * record.name.size() && room % 4 == 0,
           "a record's size covers its header and name, 4-aligned");
  }
  if (!records.empty()) {
    Expect(records[0].action == static_cast<int>(U32At(data, 4)),
           "the first record's action is the buffer's second field");
    Expect(2 * records[0].name.size() == (U32At(data, 8) & ~std::uint32_t{1}),
           "the first record's name has the whole units of its length field");
  } else if (size >= kRecordHeader) {
    Expect(U32At(data, 8) > size - kRecordHeader,
           "a first record is left out only when its name reaches beyond the buffer");
  }

  // The same bytes at an odd address, ending where their allocation ends.
  std::unique_ptr<std::byte[]> shifted(new std::byte[size + 1]);
  if (size != 0) std::memcpy(shifted.get() + 1, data, size);
  std::vector<ChangeRecord> again =
      DecodeNotifyBuffer(std::span<const std::byte>(shifted.get() + 1, size), Narrow);
  Expect(again == records, "the walk does not depend on where the buffer lies");
  return 0;
}
