// Random and mutated cache entries (whole, sparse and Firefox ones) against
// the reader and identification:
// run under AddressSanitizer (RAVO_SANITIZE=address,undefined) this shows
// that no entry, however broken, makes the reader read outside what it
// allocated, and that a body it finds always lies inside the file. Entries
// left whole must be found exactly. RAVO_FUZZ_SEED and RAVO_FUZZ_ROUNDS
// replay or lengthen a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"
#include "typedb/DetectFileType.h"

namespace ravo {
namespace {

struct Sample {
  std::string bytes;
  BodyPieces body;
  bool chromium = false;
};

class EntryFuzzer {
 public:
  explicit EntryFuzzer(unsigned long seed) : rng_(seed) {}

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }
  std::string Bytes(std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(Below(256));
    return s;
  }
  // Lengths near the edges the reader checks, now and then a large one.
  std::size_t Length() { return Below(20) == 0 ? 256 * 1024 + Below(4) - 2 : Below(120); }

  Sample Entry() {
    std::string body = Bytes(Length());
    switch (Below(3)) {
      case 0: {
        test::SimpleEntryParts parts{Bytes(1 + Below(80)), Bytes(Below(60)), Below(2) == 0};
        std::string bytes = test::SimpleCacheEntry(body, parts);
        return {bytes, {{24 + parts.key.size(), body.size()}}, true};
      }
      case 1:
        return SparseEntry(body);
    }
    std::string elements;
    for (std::size_t n = Below(4); n > 0; --n) elements += Text() + '\0' + Text() + '\0';
    test::Cache2Parts parts{Text(), elements, static_cast<std::uint32_t>(1 + Below(4))};
    return {test::Cache2Entry(body, parts), {{0, body.size()}}, false};
  }

  // A sparse entry holding body cut into ranges, stored in any order.
  Sample SparseEntry(const std::string& body) {
    std::vector<std::size_t> cuts = {0, body.size()};
    for (std::size_t n = Below(4); n > 0; --n) cuts.push_back(Below(body.size() + 1));
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::size_t> order(cuts.size() - 1);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng_);
    std::string bytes = test::SimpleCacheEntryStart(Bytes(1 + Below(80)));
    BodyPieces pieces(order.size());
    for (std::size_t i : order) {
      std::size_t length = cuts[i + 1] - cuts[i];
      bytes += test::SparseRange(cuts[i], body.substr(cuts[i], length));
      pieces[i] = {bytes.size() - length, length};
    }
    // Empty ranges add nothing to the body.
    std::erase_if(pieces, [](const BodyRange& piece) { return piece.length == 0; });
    return {bytes, pieces, true};
  }

  // Breaks the entry: cuts it, flips bytes, puts edge values into the
  // numbers the reader trusts, or adds bytes. False when it left it whole.
  bool Mutate(std::string& bytes) {
    switch (Below(5)) {
      case 0:
        bytes.resize(Below(bytes.size() + 1));
        return true;
      case 1:
        for (std::size_t n = 1 + Below(8); n > 0; --n) bytes[Below(bytes.size())] = Byte();
        return true;
      case 2: {
        const std::uint32_t edges[] = {
            0, 1, 23, 24, 48, 0x7FFFFFFF, 0xFFFFFFFF, static_cast<std::uint32_t>(bytes.size())};
        std::uint32_t value =
            Below(3) == 0 ? static_cast<std::uint32_t>(rng_()) : edges[Below(std::size(edges))];
        std::size_t places[] = {12, bytes.size() - 8, bytes.size() - 4, Below(bytes.size())};
        std::size_t at = std::min(places[Below(std::size(places))], bytes.size() - 4);
        bytes.replace(at, 4,
                      Below(2) ? test::LittleEndianBytes(value, 4) : test::BigEndianBytes(value));
        return true;
      }
      case 3:
        bytes += Bytes(1 + Below(40));
        return true;
      default:
        return false;
    }
  }

 private:
  char Byte() { return static_cast<char>(Below(256)); }
  // A text without zero bytes.
  std::string Text() {
    std::string s = Bytes(Below(30));
    for (char& c : s) c = c == '\0' ? 'z' : c;
    return s;
  }

  std::mt19937 rng_;
};

TEST(RandomizedCacheEntryTest, BrokenEntriesNeverReadOutOfBoundsAndWholeOnesAreFound) {
  unsigned long seed = test::EnvOr("RAVO_FUZZ_SEED", 20240607);
  unsigned long rounds = test::EnvOr("RAVO_FUZZ_ROUNDS", 1500);
  SCOPED_TRACE("RAVO_FUZZ_SEED=" + std::to_string(seed));
  EntryFuzzer fuzz(seed);
  test::TempDir dir;
  std::string path = dir / "0123456789abcdef_0";

  for (unsigned long round = 0; round < rounds; ++round) {
    Sample sample = fuzz.Entry();
    bool whole = !fuzz.Mutate(sample.bytes);
    test::WriteFile(path, sample.bytes);

    platform::ReadOnlyFile file(path);
    std::optional<BodyPieces> body = CacheEntryBody(file);
    for (const BodyRange& piece : body.value_or(BodyPieces{})) {
      ASSERT_LE(piece.offset + piece.length, sample.bytes.size()) << "round " << round;
    }
    bool incomplete = IsIncompleteCacheEntry(path);
    std::optional<FileHeader> header = SimpleCacheBodyHeader(path);
    std::string type = DetectFileType(path);
    if (!whole) continue;

    ASSERT_EQ(body, sample.body) << "round " << round;
    ASSERT_FALSE(incomplete) << "round " << round;
    ASSERT_EQ(header.has_value(), sample.chromium) << "round " << round;
    if (header) {
      std::string start;
      for (const BodyRange& piece : sample.body) {
        start += sample.bytes.substr(piece.offset, piece.length);
      }
      start.resize(std::min(start.size(), kHeaderSize));
      ASSERT_EQ(std::string(header->data(), start.size()), start) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace ravo
