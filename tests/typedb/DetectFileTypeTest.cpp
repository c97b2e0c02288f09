#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "tests/typedb/DatabaseBuilder.h"
#include "typedb/DetectFileType.h"

namespace ravo {
namespace {

using test::Concat;
using test::ExtOnly;
using test::Record;

const std::string kJpeg = "\xFF\xD8\xFF\xE0" + std::string(60, 'j');

class DetectWithDatabaseTest : public ::testing::Test {
 protected:
  void UseDatabase(const std::string& bytes) { test::WriteFile(db_, bytes); }
  std::string File(const std::string& name, const std::string& bytes) {
    std::string path = dir_ / name;
    test::WriteFile(path, bytes);
    return path;
  }
  std::string Detect(const std::string& path) { return DetectFileType(path, db_); }

  test::TempDir dir_;
  std::string db_ = dir_ / "ext.dll";
};

TEST_F(DetectWithDatabaseTest, ContentNamesTheTypeAgainstTheName) {
  UseDatabase(Record(".jpg", 0, "\xFF\xD8\xFF", "JPEG"));
  EXPECT_EQ(Detect(File("photo.dat", kJpeg)), ".jpg");
  EXPECT_EQ(Detect(File("noext", kJpeg)), ".jpg");
}

TEST_F(DetectWithDatabaseTest, WithoutAVerdictTheNameDecides) {
  struct Case {
    std::string database;
    std::string name;
    std::string expected;
  } cases[] = {
      {ExtOnly(".jpg", "JPEG"), "PHOTO.JPG", ".jpg"},
      {ExtOnly(".jpg", "  "), "PHOTO.JPG", ".JPG"},
      {ExtOnly(".png", "PNG"), "PHOTO.JPG", ".JPG"},
      {ExtOnly(".png", "PNG"), "README", ""},
      {ExtOnly(".png", "PNG"), "dir.d/README", ""},
      // Never an exact match; the answer keeps the first 10 bytes.
      {ExtOnly(".abcdefghi", "ten"), "x.ABCDEFGHIJKL", ".ABCDEFGHI"},
      {ExtOnly(".x", "mentions .abcdefghijkl"), "x.ABCDEFGHIJKL", ".abcdefghi"},
  };
  for (const Case& c : cases) {
    UseDatabase(c.database);
    EXPECT_EQ(Detect(File(c.name, "plain text, no signature")), c.expected) << c.name;
  }
}

TEST_F(DetectWithDatabaseTest, FamilyMatchKeepsTheNameLowerCased) {
  UseDatabase(Concat({Record("*riff", 0, "RIFF", "RIFF files (.ani .rmi)"), ExtOnly(".ani", "")}));
  EXPECT_EQ(Detect(File("clip.DAT", "RIFF....")), ".dat");
  EXPECT_EQ(Detect(File("cursor.ANI", "RIFF....")), ".ANI");  // no verdict, blank record
  EXPECT_EQ(Detect(File("README", "RIFF....")), "");
}

TEST_F(DetectWithDatabaseTest, ShortFilesAreReadPaddedWithZeros) {
  UseDatabase(Concat({Record(".jpg", 0, "\xFF\xD8\xFF", "JPEG"),
                      Record(".tail", 40, std::string(2, '\0'), "zeros at 40")}));
  EXPECT_EQ(Detect(File("short.dat", std::string(30, 'a'))), ".tail");
  EXPECT_EQ(Detect(File("tiny.dat", "\xFF\xD8\xFF")), ".jpg");
  EXPECT_EQ(Detect(File("empty.dat", "")), ".tail");
  EXPECT_EQ(Detect(File("long.dat", std::string(60, 'a'))), ".dat");
}

TEST_F(DetectWithDatabaseTest, UnreadableFilesLeaveItToTheName) {
  UseDatabase(Concat({Record(".zero", 0, std::string(4, '\0'), "zeros"), ExtOnly(".mp3", "MP3")}));
  std::string deleted = dir_ / "gone.MP3";
  EXPECT_EQ(Detect(deleted), ".mp3");
  ::mkdir((dir_ / "folder.MP3").c_str(), 0755);
  EXPECT_EQ(Detect(dir_ / "folder.MP3"), ".mp3");
  // Read-only files are read: the header is never opened for writing.
  std::string readOnly = File("locked.dat", std::string(64, '\0'));
  ::chmod(readOnly.c_str(), 0444);
  EXPECT_EQ(Detect(readOnly), ".zero");
}

TEST_F(DetectWithDatabaseTest, PipeIsNotWaitedFor) {
  UseDatabase(Concat({Record(".zero", 0, std::string(4, '\0'), "zeros"), ExtOnly(".mp3", "MP3")}));
  std::string fifo = dir_ / "stream.mp3";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  auto result = std::async(std::launch::async, [&] { return Detect(fifo); });
  if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    int writer = ::open(fifo.c_str(), O_WRONLY);  // unblocks the reader
    ::close(writer);
    FAIL() << "identification waited for a writer on a pipe";
  }
  EXPECT_EQ(result.get(), ".mp3");
}

TEST_F(DetectWithDatabaseTest, DatabaseErrorsLeaveOnlyFromTheExtensionStage) {
  ASSERT_EQ(::symlink("ext.dll", db_.c_str()), 0);  // a link to itself: exists, cannot open
  EXPECT_THROW(Detect(File("photo.jpg", kJpeg)), TypeDbIoError);
  EXPECT_THROW(Detect(File("README", "text")), TypeDbIoError);
}

TEST_F(DetectWithDatabaseTest, NoDatabaseLeavesTheNameAsWritten) {
  EXPECT_EQ(Detect(File("Photo.JPG", kJpeg)), ".JPG");
  EXPECT_EQ(Detect(File("x.ABCDEFGHIJKL", kJpeg)), ".ABCDEFGHI");
}

TEST(TypeDatabasePathTest, IsExtDllBesideTheExecutable) {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
  ASSERT_GT(n, 0);
  std::string exe(self, static_cast<std::size_t>(n));
  EXPECT_EQ(TypeDatabasePath(), exe.substr(0, exe.rfind('/') + 1) + "ext.dll");
}

}  // namespace
}  // namespace ravo
