#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <future>

#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"
#include "typedb/CacheEntry.h"

namespace ravo {
namespace {

using namespace std::string_literals;
using test::Cache2Entry;
using test::Cache2Parts;
using test::SimpleCacheEntry;
using test::SimpleEntryParts;

const std::string& kPng = test::kPngBody;
const std::string kSamples = RAVO_TYPEDB_SAMPLES "/cache";

class CacheEntryTest : public testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    return dir_.Write("entry" + std::to_string(++files_), bytes);
  }

  // The body's bytes as CacheEntryBody locates them in the file.
  static std::optional<std::string> BodyOf(const std::string& path) {
    platform::ReadOnlyFile file(path);
    std::optional<BodyPieces> body = CacheEntryBody(file);
    if (!body) return std::nullopt;
    std::string bytes = test::ReadFile(path);
    std::string joined;
    for (const BodyRange& piece : *body) joined += bytes.substr(piece.offset, piece.length);
    return joined;
  }

  std::optional<std::string> BodyOfBytes(const std::string& bytes) { return BodyOf(Write(bytes)); }

  test::TempDir dir_;
  int files_ = 0;
};

TEST_F(CacheEntryTest, FindsTheBodyOfCompleteEntries) {
  const std::string magicInBody = test::SimpleCacheEndRecord(3, 0) + kPng;
  const std::string large(600 * 1024, 'L');  // three chunk hashes in cache2
  struct Case {
    const char* what;
    std::string entry;
    std::string body;
  } cases[] = {
      {"chromium", SimpleCacheEntry(kPng), kPng},
      {"chromium, no key hash", SimpleCacheEntry(kPng, {.keySha256 = false}), kPng},
      {"chromium, no headers", SimpleCacheEntry(kPng, {.headers = ""}), kPng},
      {"chromium, empty body", SimpleCacheEntry(""), ""},
      {"chromium, end record in body", SimpleCacheEntry(magicInBody), magicInBody},
      {"chromium, long key", SimpleCacheEntry(kPng, {.key = std::string(70000, 'k')}), kPng},
      {"chromium, large body", SimpleCacheEntry(large), large},
      {"cache2 v1", Cache2Entry(kPng, {.version = 1}), kPng},
      // The shortest metadata there is: no flags, a one-byte key, no elements.
      {"cache2 v1, short", Cache2Entry(kPng, {.key = "k", .elements = "", .version = 1}), kPng},
      {"cache2 v2", Cache2Entry(kPng, {.version = 2}), kPng},
      {"cache2 v3", Cache2Entry(kPng), kPng},
      {"cache2 v4", Cache2Entry(kPng, {.version = 4}), kPng},
      {"cache2, no elements", Cache2Entry(kPng, {.elements = ""}), kPng},
      {"cache2, empty body", Cache2Entry(""), ""},
      {"cache2, large body", Cache2Entry(large), large},
      // Compiled script stored after the body is no part of it.
      {"cache2, alternative data",
       Cache2Entry(kPng + "BYTECODE",
                   {.elements = "alt-data\0"s + "1;" + std::to_string(kPng.size()) +
                                ",javascript/moz-script\0"s}),
       kPng},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BodyOfBytes(c.entry), c.body) << c.what;
  }
}

TEST_F(CacheEntryTest, RealBrowserEntriesHoldTheServedFiles) {
  for (const char* name : {"picture.png", "picture.jpg", "video.mp4"}) {
    std::string served = test::ReadFile(kSamples + "/served/" + name);
    ASSERT_FALSE(served.empty()) << name;
    std::string stem = std::string(name).replace(std::string(name).find('.'), 1, "_");
    EXPECT_EQ(BodyOf(kSamples + "/chromium/" + stem + "_0"), served) << name;
    EXPECT_EQ(BodyOf(kSamples + "/firefox/" + stem), served) << name;
  }
}

TEST_F(CacheEntryTest, OrdinaryFilesAreNoEntries) {
  for (const std::string& bytes : {""s, kPng, "abc"s, std::string(1000, '\0'),
                                   // Ends in a plausible offset, but no metadata is there.
                                   kPng + test::BigEndianBytes(8)}) {
    EXPECT_FALSE(BodyOfBytes(bytes));
  }
  EXPECT_FALSE(BodyOf(dir_ / "missing"));
  EXPECT_FALSE(BodyOf(dir_.Path()));
}

TEST_F(CacheEntryTest, DamagedEntriesAreNoEntries) {
  const std::string simple = SimpleCacheEntry(kPng);
  const std::size_t lastRecord = simple.size() - 24;
  const std::string noKeyHash = SimpleCacheEntry(kPng, {.keySha256 = false});
  const std::string cache2 = Cache2Entry(kPng);
  const std::size_t metaAt = kPng.size();
  auto poke = [](std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
  };
  struct Case {
    const char* what;
    std::string entry;
  } cases[] = {
      {"key longer than the file", poke(simple, 12, test::LittleEndianBytes(100000, 4))},
      {"key length beyond any key", poke(simple, 12, test::LittleEndianBytes(0xFFFFFFFF, 4))},
      {"empty key", poke(simple, 12, test::LittleEndianBytes(0, 4))},
      {"last end record's magic", poke(simple, lastRecord, "X")},
      {"stream 0 larger than the file", poke(simple, lastRecord + 16, "\xFF\xFF\xFF\xFF")},
      {"stream 0 one byte off",
       poke(simple, lastRecord + 16,
            test::LittleEndianBytes(SimpleEntryParts().headers.size() + 1, 4))},
      {"key hash flag without a key hash", poke(noKeyHash, noKeyHash.size() - 24 + 8, "\3")},
      {"first end record's magic",
       poke(simple, 24 + SimpleEntryParts().key.size() + kPng.size(), "X")},
      {"bytes appended", simple + "x"},
      {"cache2 offset past the end",
       poke(cache2, cache2.size() - 4, test::BigEndianBytes(0x7FFFFFFF))},
      {"cache2 offset one byte off",
       poke(cache2, cache2.size() - 4, test::BigEndianBytes(metaAt - 1))},
      {"cache2 metadata hash", poke(cache2, metaAt + 1, std::string(1, cache2[metaAt + 1] ^ 1))},
      {"cache2 key byte", poke(cache2, metaAt + 4 + 2 + 32, "b")},
      {"cache2 unknown version", Cache2Entry(kPng, {.version = 5})},
      {"cache2 version 0", Cache2Entry(kPng, {.version = 0})},
      {"cache2 odd elements", Cache2Entry(kPng, {.elements = "name\0value\0lone\0"s})},
      {"cache2 unterminated elements", Cache2Entry(kPng, {.elements = "name\0value"s})},
      {"cache2 key size past the elements",
       poke(Cache2Entry(kPng, {.elements = ""}), metaAt + 4 + 2 + 24, test::BigEndianBytes(9999))},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(BodyOfBytes(c.entry)) << c.what;
  }
}

TEST_F(CacheEntryTest, SparseEntriesHoldTheBodyWithoutAGapFromItsStart) {
  using test::SparseCacheEntry;
  using test::SparseRange;
  const std::string head = kPng.substr(0, 20);
  const std::string middle = kPng.substr(20, 20);
  const std::string rest = kPng.substr(40);
  const std::string start = test::SimpleCacheEntryStart(SimpleEntryParts().key);
  const std::string ordered =
      SparseCacheEntry({SparseRange(0, head), SparseRange(20, middle), SparseRange(40, rest)});
  const std::size_t secondAt = start.size() + 32 + head.size();
  auto poke = [](std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
  };
  struct Case {
    const char* what;
    std::string entry;
    std::optional<std::string> body;  // nullopt: no entry (yet)
  } cases[] = {
      {"in order", ordered, kPng},
      {"out of order",
       SparseCacheEntry({SparseRange(40, rest), SparseRange(0, head), SparseRange(20, middle)}),
       kPng},
      {"a gap", SparseCacheEntry({SparseRange(40, rest), SparseRange(0, head)}), head},
      {"nothing from the start", SparseCacheEntry({SparseRange(20, middle)}), ""},
      {"overlapping ranges",
       SparseCacheEntry({SparseRange(20, kPng.substr(20)), SparseRange(0, kPng.substr(0, 30))}),
       kPng},
      {"a range inside another",
       SparseCacheEntry({SparseRange(0, kPng), SparseRange(5, "XXXX"), SparseRange(0, "")}), kPng},
      {"long key", SparseCacheEntry({SparseRange(0, kPng)}, std::string(70000, 'k')), kPng},
      // A damaged or truncated range ends the walk; those before it count.
      {"last range cut short", ordered.substr(0, ordered.size() - 1), head + middle},
      {"last range's header cut short", ordered.substr(0, secondAt + 31), head},
      {"second range's magic", poke(ordered, secondAt, "X"), head},
      {"second range's length beyond the file",
       poke(ordered, secondAt + 16, test::LittleEndianBytes(1000, 8)), head},
      {"second range's length negative",
       poke(ordered, secondAt + 16, test::LittleEndianBytes(~0ull, 8)), head},
      {"second range's offset negative",
       poke(ordered, secondAt + 8, test::LittleEndianBytes(~0ull - 19, 8)), head},
      {"bytes after the last range", ordered + "junk", kPng},
      {"empty ranges", SparseCacheEntry({SparseRange(0, ""), SparseRange(0, kPng)}),
       kPng},
      // A crafted entry of endless empty ranges costs a bounded amount of
      // work: what lies beyond the ranges read is taken as absent.
      {"the body behind more ranges than are read",
       SparseCacheEntry([&] {
         std::vector<std::string> ranges(20000, SparseRange(0, ""));
         ranges.push_back(SparseRange(0, kPng));
         return ranges;
       }()),
       ""},
      {"header and key", start, std::nullopt},
      {"first range cut short", ordered.substr(0, secondAt - 1), std::nullopt},
      {"first range's magic", poke(ordered, start.size() + 7, "X"), std::nullopt},
  };
  for (const Case& c : cases) {
    std::string path = Write(c.entry);
    EXPECT_EQ(BodyOf(path), c.body) << c.what;
    EXPECT_EQ(IsIncompleteCacheEntry(path), !c.body) << c.what;
  }
}

TEST_F(CacheEntryTest, NoPartOfAnEntryIsAnEntry) {
  for (const std::string& entry : {SimpleCacheEntry(kPng), Cache2Entry(kPng)}) {
    std::string path = dir_ / "growing";
    for (std::size_t size = 0; size < entry.size(); ++size) {
      test::WriteFile(path, entry.substr(0, size));
      ASSERT_FALSE(BodyOf(path)) << size;
    }
  }
}

TEST_F(CacheEntryTest, EntriesBeingWrittenAreIncomplete) {
  const std::string entry = SimpleCacheEntry(kPng);
  const std::string start = test::SimpleCacheEntryStart(SimpleEntryParts().key);
  struct Case {
    const char* what;
    std::string bytes;
    bool incomplete;
  } cases[] = {
      {"header and key", start, true},
      {"part of the body", start + kPng.substr(0, 10), true},
      {"all but the last byte", entry.substr(0, entry.size() - 1), true},
      {"complete", entry, false},
      {"header cut short", start.substr(0, 23), false},
      {"ordinary file", kPng, false},
      {"firefox entry", Cache2Entry(kPng), false},
      {"empty file", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsIncompleteCacheEntry(Write(c.bytes)), c.incomplete) << c.what;
  }
  EXPECT_FALSE(IsIncompleteCacheEntry(dir_ / "missing"));
  EXPECT_FALSE(IsIncompleteCacheEntry(dir_.Path()));
}

TEST_F(CacheEntryTest, PipesAreNeverOpened) {
  std::string fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto looked = std::async(std::launch::async, [&] {
    return !IsIncompleteCacheEntry(fifo) && !SimpleCacheBodyHeader(fifo) && !BodyOf(fifo);
  });
  ASSERT_EQ(looked.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(looked.get());
}

TEST_F(CacheEntryTest, BodyHeaderIsTheBodysStartPaddedWithZeros) {
  FileHeader expected{};
  kPng.copy(expected.data(), expected.size());
  EXPECT_EQ(SimpleCacheBodyHeader(Write(SimpleCacheEntry(kPng))), expected);
  // A short body is followed by zeros, not by the end record after it.
  FileHeader shortBody{};
  shortBody[0] = 'a';
  EXPECT_EQ(SimpleCacheBodyHeader(Write(SimpleCacheEntry("a"))), shortBody);
  // A sparse entry's body start is put together from its ranges, up to a gap.
  const std::string spread = test::SparseCacheEntry(
      {test::SparseRange(10, kPng.substr(10)), test::SparseRange(0, kPng.substr(0, 10))});
  EXPECT_EQ(SimpleCacheBodyHeader(Write(spread)), expected);
  const std::string gap =
      test::SparseCacheEntry({test::SparseRange(0, "a"), test::SparseRange(2, "bbbb")});
  EXPECT_EQ(SimpleCacheBodyHeader(Write(gap)), shortBody);
  EXPECT_FALSE(SimpleCacheBodyHeader(Write(Cache2Entry(kPng))));
  EXPECT_FALSE(SimpleCacheBodyHeader(Write(kPng)));
}

}  // namespace
}  // namespace ravo
