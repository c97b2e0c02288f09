// Random and mutated databases and headers against the lookups: run under
// AddressSanitizer (RAVO_SANITIZE=address,undefined) this shows that no
// record, however broken, makes a lookup read outside the record or the
// 51-byte header. RAVO_FUZZ_SEED and RAVO_FUZZ_ROUNDS replay or lengthen a run.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

#include "fsutil/PathText.h"
#include "tests/typedb/DatabaseBuilder.h"
#include "typedb/DetectFileType.h"
#include "typedb/velScanext.h"

namespace ravo {
namespace {

class Fuzzer {
 public:
  explicit Fuzzer(unsigned long seed) : rng_(seed) {}

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }
  char Byte() { return static_cast<char>(Below(256)); }
  std::string Bytes(std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = Byte();
    return s;
  }

  std::int32_t EdgeInt() {
    const std::int32_t edges[] = {INT_MIN, -1, 0, 1, 2, 10, 11, 12, 40, 41, 50, 51, INT_MAX};
    return Below(4) == 0 ? static_cast<std::int32_t>(rng_()) : edges[Below(std::size(edges))];
  }

  // A record near the format's limits, sometimes broken in a length byte.
  std::string NearRecord(const std::string& sharedText) {
    TExtInfo info;
    info.Ext = Below(3) == 0 ? "*" + Bytes(Below(9)) : sharedText.substr(0, Below(11));
    info.SigOffset = EdgeInt();
    info.SigLen = EdgeInt();
    info.Signature = Bytes(Below(12));
    info.Description = Below(2) ? sharedText + Bytes(Below(20)) : Bytes(Below(251));
    std::string record = EncodeExtRecord(info);
    if (Below(4) == 0) record[Below(2) ? 0 : 31] = Byte();
    return record;
  }

  std::string Database(const std::string& shipped, const std::string& sharedText) {
    std::string db;
    switch (Below(3)) {
      case 0:
        db = Bytes(Below(6 * kExtInfoSize));
        break;
      case 1:
        for (std::size_t n = Below(8); n > 0; --n) db += NearRecord(sharedText);
        break;
      default:
        db = shipped;
        for (std::size_t n = Below(40); n > 0 && !db.empty(); --n) db[Below(db.size())] = Byte();
        break;
    }
    if (Below(4) == 0 && !db.empty()) db.resize(Below(db.size()));
    return db;
  }

  FileHeader Header(const std::string& sharedText) {
    FileHeader header{};
    std::string bytes = Below(2) ? Bytes(kHeaderSize) : sharedText;
    bytes.copy(header.data(), std::min(bytes.size(), header.size()));
    return header;
  }

 private:
  std::mt19937 rng_;
};

// Whether a record of the raw database, valid by the format's limits, has
// its signature at its place in the header (independent of the decoder).
bool SomeValidRecordMatches(const std::string& db, const FileHeader& header,
                            const std::string& ext) {
  for (std::size_t at = 0; at + kExtInfoSize <= db.size(); at += kExtInfoSize) {
    const char* r = db.data() + at;
    std::int32_t offset, length;
    std::memcpy(&offset, r + 12, 4);
    std::memcpy(&length, r + 16, 4);
    std::size_t extLength = static_cast<unsigned char>(r[0]);
    if (extLength > 10 || static_cast<unsigned char>(r[31]) > 250) continue;
    if (length < 1 || length > 11 || offset < 0 || offset + length > 51) continue;
    if (std::memcmp(r + 20, header.data() + offset, length) == 0 &&
        std::string(r + 1, extLength) == ext) {
      return true;
    }
  }
  return false;
}

TEST(RandomizedLookupTest, BrokenDatabasesNeverReadOutOfBoundsAndAnswerConsistently) {
  unsigned long seed = test::EnvOr("RAVO_FUZZ_SEED", 20240601);
  unsigned long rounds = test::EnvOr("RAVO_FUZZ_ROUNDS", 3000);
  SCOPED_TRACE("RAVO_FUZZ_SEED=" + std::to_string(seed));
  Fuzzer fuzz(seed);
  std::string shipped = test::ReadFile(TypeDatabasePath());
  ASSERT_FALSE(shipped.empty());
  test::TempDir dir;
  std::string path = dir / "ext.dll";
  const std::string exts[] = {"", ".jpg", ".MP3", ".abcdefghijkl", "*", ".asf"};

  for (unsigned long round = 0; round < rounds; ++round) {
    std::string sharedText = fuzz.Bytes(fuzz.Below(14));
    std::string db = fuzz.Database(shipped, sharedText);
    test::WriteFile(path, db);
    FileHeader header = fuzz.Header(sharedText);
    std::string ext = fuzz.Below(2) ? exts[fuzz.Below(std::size(exts))] : sharedText;
    std::string e10 = LowerAscii(ext.substr(0, 10));

    auto found = LookupByExt(path, ext);
    if (found) {
      ASSERT_EQ(found->Ext, e10) << "round " << round;
    }

    auto verdict = MatchSignature(path, ext.substr(0, 10), header);
    if (verdict && *verdict != e10) {
      ASSERT_TRUE(SomeValidRecordMatches(db, header, *verdict)) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace ravo
