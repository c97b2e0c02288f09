#include <gtest/gtest.h>

#include <cstring>

#include "platform/NotifyRecords.h"
#include "tests/watch/ChangeRecordPrinter.h"

namespace ravo::platform {
namespace {

// One record as it is laid into a synthetic read buffer.
struct RawRecord {
  std::size_t at;  // byte offset in the buffer
  std::uint32_t next;
  std::uint32_t action;
  std::u16string name;
  std::uint32_t nameBytes = UINT32_MAX;  // UINT32_MAX: the name's real length
};

std::vector<std::byte> Buffer(std::size_t size, const std::vector<RawRecord>& records) {
  std::vector<std::byte> buffer(size);
  for (const RawRecord& r : records) {
    std::uint32_t nameBytes = r.nameBytes == UINT32_MAX ? r.name.size() * 2 : r.nameBytes;
    std::uint32_t header[3] = {r.next, r.action, nameBytes};
    std::memcpy(buffer.data() + r.at, header, sizeof header);
    std::memcpy(buffer.data() + r.at + 12, r.name.data(),
                std::min<std::size_t>(r.name.size() * 2, size - r.at - 12));
  }
  return buffer;
}

// Stands in for the ANSI conversion: ASCII passes, anything else is '?'.
std::string Narrow(std::u16string_view name) {
  std::string out;
  for (char16_t c : name) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

struct DecodeCase {
  const char* what;
  std::size_t size;
  std::vector<RawRecord> records;
  std::vector<ChangeRecord> expected;
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.what; }

class DecodeNotifyBufferTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeNotifyBufferTest, WalksTheRecordsWithinTheBuffer) {
  const DecodeCase& c = GetParam();
  std::vector<std::byte> buffer = Buffer(c.size, c.records);
  EXPECT_EQ(DecodeNotifyBuffer(buffer, Narrow), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeNotifyBufferTest,
    testing::Values(
        DecodeCase{"rename pair, names converted",
                   4096,
                   {{0, 24, 4, u"a.txt"}, {24, 0, 5, u"\u56fe\\b.txt"}},
                   {{4, "a.txt"}, {5, "?\\b.txt"}}},
        DecodeCase{"all-zero buffer: one empty record", 4096, {}, {{0, ""}}},
        DecodeCase{"no bytes at all", 0, {}, {}},
        DecodeCase{"unaligned next record",
                   64,
                   {{0, 13, 1, u"x"}, {13, 0, 2, u"yz"}},
                   {{1, "x"}, {2, "yz"}}},
        DecodeCase{"odd name length keeps whole units", 64, {{0, 0, 1, u"ab", 3}}, {{1, "a"}}},
        DecodeCase{"name reaching beyond the buffer ends the walk without it",
                   64,
                   {{0, 16, 1, u"a"}, {16, 0, 1, u"b", 40}},
                   {{1, "a"}}},
        DecodeCase{"next offset beyond the buffer ends the walk after its record",
                   64,
                   {{0, 4096, 3, u"m"}},
                   {{3, "m"}}},
        DecodeCase{"header cut by the buffer's end is not read",
                   32,
                   {{0, 24, 1, u"a"}},
                   {{1, "a"}}}));

TEST(ChangeRecordSizeTest, CountsHeaderAndUtf16NameAlignedToFour) {
  EXPECT_EQ(ChangeRecordSize({1, ""}), 12u);
  EXPECT_EQ(ChangeRecordSize({1, "a"}), 16u);
  EXPECT_EQ(ChangeRecordSize({1, "ab"}), 16u);
  EXPECT_EQ(ChangeRecordSize({1, "abc"}), 20u);
}

}  // namespace
}  // namespace ravo::platform
