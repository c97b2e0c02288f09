#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/typedb/DatabaseBuilder.h"
#include "typedb/DetectFileType.h"
#include "typedb/velScanext.h"

namespace ravo {
namespace {

using test::Concat;
using test::ExtOnly;
using test::HeaderWith;
using test::Poke;
using test::Record;

struct ExtCase {
  const char* name;
  std::string database;
  std::string ext;
  std::optional<std::string> description;  // nullopt: not found
  std::string foundExt = {};               // Ext of the result when found

  friend void PrintTo(const ExtCase& c, std::ostream* os) { *os << c.name; }
};

class LookupByExtTest : public ::testing::TestWithParam<ExtCase> {};

TEST_P(LookupByExtTest, FindsTheRecordTheTieBreaksName) {
  const ExtCase& c = GetParam();
  test::TempDir dir;
  test::WriteFile(dir / "ext.dll", c.database);
  auto found = LookupByExt(dir / "ext.dll", c.ext);
  ASSERT_EQ(found.has_value(), c.description.has_value()) << c.name;
  if (!found) return;
  EXPECT_EQ(found->Description, *c.description) << c.name;
  EXPECT_EQ(found->Ext, c.foundExt) << c.name;
}

const std::string kJpgSig = "\xFF\xD8\xFF";

INSTANTIATE_TEST_SUITE_P(
    Tables, LookupByExtTest,
    ::testing::Values(
        ExtCase{"first exact record with a signature wins and ends the scan",
                Concat({ExtOnly(".jpg", "one"), Record(".jpg", 0, kJpgSig, "two"),
                        ExtOnly(".jpg", "three"), Record(".jpg", 0, kJpgSig, "four")}),
                ".jpg", "two", ".jpg"},
        ExtCase{"without signatures the last exact record wins",
                Concat({ExtOnly(".jpg", "one"), ExtOnly(".jpg", "two")}), ".jpg", "two", ".jpg"},
        ExtCase{"an exact record beats any mention",
                Concat({ExtOnly(".mp3", "audio"), ExtOnly(".x", "mentions .mp3")}), ".mp3", "audio",
                ".mp3"},
        ExtCase{"the search is lower-cased", ExtOnly(".mp3", "audio"), ".MP3", "audio", ".mp3"},
        ExtCase{"without an exact record the last mention stands in",
                Concat({ExtOnly(".a", "1 .ogg"), ExtOnly(".b", "2 .ogg"), ExtOnly(".c", "3 .ogg")}),
                ".OGG", "3 .ogg", ".ogg"},
        ExtCase{"a last mention with an empty Ext finds nothing",
                Concat({ExtOnly(".a", "1 .ogg"), ExtOnly("", "2 .ogg")}), ".ogg", std::nullopt},
        ExtCase{"mentions are substrings without word boundaries", ExtOnly(".docx", "Word (.docx)"),
                ".doc", "Word (.docx)", ".doc"},
        ExtCase{"an empty search is mentioned nowhere", ExtOnly(".a", "text"), "", std::nullopt},
        ExtCase{"an upper-case Ext is never exact",
                Concat({Record(".JPG", 0, kJpgSig, "upper"), ExtOnly(".x", "other")}), ".jpg",
                std::nullopt},
        ExtCase{"a long search is never exact but found through a mention, cut to 10 bytes",
                Concat({ExtOnly(".abcdefghi", "exact 10"), ExtOnly(".z", "has .abcdefghijk")}),
                ".abcdefghijk", "has .abcdefghijk", ".abcdefghi"},
        ExtCase{"a blank description is still a found record", ExtOnly(".jpg", " \t"), ".jpg",
                " \t", ".jpg"},
        ExtCase{"bytes past the length bytes and the fillers do not count",
                Poke(Poke(Poke(Poke(ExtOnly(".mp", "audio"), 4, 'x'), 11, '!'), 40, 'y'), 283, 7),
                ".mp", "audio", ".mp"},
        ExtCase{"a trailing part shorter than a record is never read",
                ExtOnly(".jpg", "whole") + ExtOnly(".png", "cut").substr(0, 283), ".png",
                std::nullopt},
        ExtCase{"a file shorter than a record holds none", ExtOnly(".png", "x").substr(0, 283),
                ".png", std::nullopt},
        ExtCase{"an empty file holds no records", "", ".png", std::nullopt},
        // Invalid records are skipped: they are neither exact nor mentions and
        // end no scan.
        ExtCase{"an Ext length above 10 makes the record invalid",
                Concat({ExtOnly(".jpg", "kept"), Poke(Record(".jpg", 0, kJpgSig, "long"), 0, 11)}),
                ".jpg", "kept", ".jpg"},
        ExtCase{"a description length above 250 makes the record invalid",
                Concat({ExtOnly(".a", "kept .mp4"), Poke(ExtOnly(".b", "bad .mp4"), 31, 251)}),
                ".mp4", "kept .mp4", ".mp4"},
        ExtCase{"a signature reaching past the header makes the record invalid",
                Concat({Record(".jpg", 41, kJpgSig, "past", 11), Record(".jpg", -1, kJpgSig, "neg"),
                        Record(".jpg", 0, kJpgSig, "12 long", 12), ExtOnly(".jpg", "kept")}),
                ".jpg", "kept", ".jpg"}));

struct SignatureCase {
  const char* name;
  std::string database;
  std::string ext;
  FileHeader header;
  std::optional<std::string> verdict;

  friend void PrintTo(const SignatureCase& c, std::ostream* os) { *os << c.name; }
};

class MatchSignatureTest : public ::testing::TestWithParam<SignatureCase> {};

TEST_P(MatchSignatureTest, GivesTheVerdictOfTheFirstMatch) {
  const SignatureCase& c = GetParam();
  test::TempDir dir;
  test::WriteFile(dir / "ext.dll", c.database);
  EXPECT_EQ(MatchSignature(dir / "ext.dll", c.ext, c.header), c.verdict) << c.name;
}

const FileHeader kJpegHeader = HeaderWith(0, "\xFF\xD8\xFF\xE0");
const std::string kFamily = Record("*family", 0, "\xFF\xD8", "members .jpg .jpe");

INSTANTIATE_TEST_SUITE_P(
    Tables, MatchSignatureTest,
    ::testing::Values(
        SignatureCase{
            "the earlier of two matching records decides",
            Concat({Record(".jpg", 0, "\xFF\xD8", "a"), Record(".jpeg", 0, kJpgSig, "b")}), ".dat",
            kJpegHeader, ".jpg"},
        SignatureCase{"a blank description gives no verdict and ends the scan",
                      Concat({Record(".jpg", 0, kJpgSig, " "), Record(".jpeg", 0, kJpgSig, "b")}),
                      ".dat", kJpegHeader, std::nullopt},
        SignatureCase{
            "SigLen 0 never matches, whatever the signature bytes",
            Concat({Record(".bad", 0, kJpgSig, "x", 0), Record(".bad", 0, kJpgSig, "y", -5),
                    Record(".jpg", 0, kJpgSig, "ok")}),
            "", kJpegHeader, ".jpg"},
        SignatureCase{"only SigLen bytes are compared", Record(".jpg", 0, "\xFF\xD8ZZ", "x", 2), "",
                      kJpegHeader, ".jpg"},
        SignatureCase{"an upper-case Ext is reported as stored", Record(".JPG", 0, kJpgSig, "x"),
                      ".dat", kJpegHeader, ".JPG"},
        SignatureCase{"an empty Ext is a verdict too", Record("", 0, kJpgSig, "x"), ".dat",
                      kJpegHeader, ""},
        SignatureCase{"11 bytes at offset 40 compare the header's last byte",
                      Record(".end", 40, "0123456789A", "x"), "", HeaderWith(40, "0123456789A"),
                      ".end"},
        SignatureCase{"11 bytes at offset 40 that differ in the last byte do not match",
                      Record(".end", 40, "0123456789A", "x"), "", HeaderWith(40, "0123456789B"),
                      std::nullopt},
        SignatureCase{"no record matches", Record(".png", 0, "\x89PNG", "x"), ".jpg", kJpegHeader,
                      std::nullopt},
        SignatureCase{"a family keeps an extension it does not list, lower-cased", kFamily, ".DAT",
                      kJpegHeader, ".dat"},
        SignatureCase{"a family keeps a listed extension whose record is not blank",
                      Concat({kFamily, ExtOnly(".jpe", "JPEG")}), ".JPE", kJpegHeader, ".jpe"},
        SignatureCase{"a listed extension found only through the family's own mention", kFamily,
                      ".jpe", kJpegHeader, ".jpe"},
        SignatureCase{"a listed extension whose record is blank gives no verdict",
                      Concat({kFamily, ExtOnly(".jpe", "")}), ".jpe", kJpegHeader, std::nullopt},
        SignatureCase{"a family without an extension gives the empty text", kFamily, "",
                      kJpegHeader, ""},
        SignatureCase{"a family verdict is cut to 10 bytes", kFamily, ".abcdefghijkl", kJpegHeader,
                      ".abcdefghi"},
        SignatureCase{"the family mark is byte 1, whatever the Ext length",
                      Poke(Record("*", 0, kJpgSig, "x"), 0, 0), ".Dat", kJpegHeader, ".dat"},
        SignatureCase{
            "invalid records never match and never end the scan",
            Concat({Poke(Record(".a", 0, kJpgSig, "x"), 0, 200),
                    Poke(Record(".b", 0, kJpgSig, "x"), 31, 255),
                    Record(".c", 45, std::string(3, '\0'), "x", 7),
                    Record(".d", -2147483647, kJpgSig, "x"), Record(".e", 2147483647, kJpgSig, "x"),
                    Record(".f", 0, kJpgSig + std::string(8, '\0'), "x", 1000),
                    Record(".jpg", 0, kJpgSig, "ok")}),
            "", kJpegHeader, ".jpg"}));

TEST(TypeDatabaseFileTest, MissingDatabaseFindsNothingWithoutError) {
  test::TempDir dir;
  EXPECT_EQ(LookupByExt(dir / "ext.dll", ".jpg"), std::nullopt);
  EXPECT_EQ(MatchSignature(dir / "ext.dll", ".jpg", kJpegHeader), std::nullopt);
  // A folder where the file should be is no database either.
  ::mkdir((dir / "folder").c_str(), 0755);
  EXPECT_EQ(LookupByExt(dir / "folder", ".jpg"), std::nullopt);
}

TEST(TypeDatabaseFileTest, DatabaseThatCannotBeReadRaisesAnIoError) {
  test::TempDir dir;
  // One that cannot be opened (a link to itself), and one that opens but
  // whose bytes cannot be read.
  ASSERT_EQ(::symlink("loop", (dir / "loop").c_str()), 0);
  ASSERT_EQ(::symlink("/proc/self/mem", (dir / "unreadable").c_str()), 0);
  for (const std::string& path : {dir / "loop", dir / "unreadable"}) {
    EXPECT_THROW(LookupByExt(path, ".jpg"), TypeDbIoError) << path;
    EXPECT_THROW(MatchSignature(path, ".jpg", kJpegHeader), TypeDbIoError) << path;
  }
}

TEST(TypeDatabaseFileTest, ReadOnlyDatabaseIsRead) {
  test::TempDir dir;
  test::WriteFile(dir / "ext.dll", Record(".jpg", 0, kJpgSig, "JPEG"));
  ASSERT_EQ(::chmod((dir / "ext.dll").c_str(), 0444), 0);
  EXPECT_EQ(MatchSignature(dir / "ext.dll", ".dat", kJpegHeader), ".jpg");
  EXPECT_TRUE(LookupByExt(dir / "ext.dll", ".jpg").has_value());
}

TEST(TypeDatabaseFileTest, ChangedDatabaseTakesEffectAtTheNextLookup) {
  test::TempDir dir;
  std::string path = dir / "ext.dll";
  test::WriteFile(path, Record(".jpg", 0, kJpgSig, "JPEG"));
  EXPECT_EQ(MatchSignature(path, "", kJpegHeader), ".jpg");
  // Same size, same file, rewritten at once: times may not have moved.
  test::WriteFile(path, Record(".jpx", 0, kJpgSig, "JPEG"));
  EXPECT_EQ(MatchSignature(path, "", kJpegHeader), ".jpx");
  // Replaced by another file under the same name.
  test::WriteFile(dir / "new", Record(".jpy", 0, kJpgSig, "JPEG"));
  ASSERT_EQ(::rename((dir / "new").c_str(), path.c_str()), 0);
  EXPECT_EQ(MatchSignature(path, "", kJpegHeader), ".jpy");
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(MatchSignature(path, "", kJpegHeader), std::nullopt);
}

TEST(TypeDatabaseFileTest, SettledDatabaseIsReusedUntilItChanges) {
  // A database older than the granularity of file times may be kept parsed;
  // a change to it must still be seen at once.
  test::TempDir dir;
  std::string path = dir / "ext.dll";
  test::WriteFile(path, Record(".jpg", 0, kJpgSig, "JPEG"));
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(MatchSignature(path, "", kJpegHeader), ".jpg");
  EXPECT_EQ(MatchSignature(path, "", kJpegHeader), ".jpg");
  test::WriteFile(path, Record(".jpx", 0, kJpgSig, "JPEG"));
  EXPECT_EQ(MatchSignature(path, "", kJpegHeader), ".jpx");
}

}  // namespace
}  // namespace ravo
