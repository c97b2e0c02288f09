// The header attempts of the identification against files that other
// programs hold open, and files that are no files.
#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "platform/FileRead.h"
#include "tests/support/TestSupport.h"
#include "tests/win32/Win32TestSupport.h"
#include "typedb/DetectFileType.h"

namespace ravo::platform {
namespace {

struct HoldCase {
  const char* what;
  DWORD access;  // 0: not held
  DWORD share;
  std::size_t size;
  std::optional<std::size_t> first;   // what the attempt letting others write reads
  std::optional<std::size_t> second;  // what the attempt refusing writers reads
  const char* type;                   // what the identification says of photo.dat
};

class HeadAttemptTest : public testing::TestWithParam<HoldCase> {};

TEST_P(HeadAttemptTest, ShareModesDecideWhichAttemptReadsAndTheNameDecidesWhenNone) {
  const HoldCase& c = GetParam();
  test::TempDir dir;
  std::string path = test::Join(dir.Path(), "photo.dat");
  test::WriteAnsiFile(path, test::JpegBytes(c.size));
  std::optional<test::HeldFile> held;
  if (c.access) held.emplace(path, c.access, c.share);

  std::array<char, 51> header{};
  EXPECT_EQ(ReadFileStart(path, header, HeadAttempt::kLetOthersWrite), c.first) << c.what;
  EXPECT_EQ(ReadFileStart(path, header, HeadAttempt::kRefuseWriters), c.second) << c.what;
  EXPECT_EQ(DetectFileType(path, test::ShippedDatabase()), c.type) << c.what;
}

constexpr DWORD kRead = GENERIC_READ;
constexpr DWORD kWrite = GENERIC_WRITE;
constexpr DWORD kShareRead = FILE_SHARE_READ;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

INSTANTIATE_TEST_SUITE_P(
    Cases, HeadAttemptTest,
    testing::Values(
        HoldCase{"not held", 0, 0, 100, 51, 51, ".jpg"},
        HoldCase{"written without sharing", kWrite, 0, 100, std::nullopt, std::nullopt, ".dat"},
        HoldCase{"read without sharing", kRead, 0, 100, std::nullopt, std::nullopt, ".dat"},
        HoldCase{"written, shared for reading", kWrite, kShareRead, 100, 51, std::nullopt, ".jpg"},
        HoldCase{"written, shared for reading and writing", kWrite | kRead, kShareReadWrite, 100,
                 51, std::nullopt, ".jpg"},
        HoldCase{"read, shared for reading", kRead, kShareRead, 100, 51, 51, ".jpg"},
        // The first attempt needs all 51 bytes; the second would take fewer
        // but may not run beside a writer.
        HoldCase{"short, written, shared for reading", kWrite, kShareRead, 20, 20, std::nullopt,
                 ".dat"},
        HoldCase{"short, read, shared for reading", kRead, kShareRead, 20, 20, 20, ".jpg"}));

TEST(ReadOnlyAttributeTest, AReadOnlyFileIsReadByBothAttempts) {
  test::TempDir dir;
  std::string path = test::Join(dir.Path(), "photo.dat");
  test::WriteAnsiFile(path, test::JpegBytes(100));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  std::array<char, 51> header{};
  EXPECT_EQ(ReadFileStart(path, header, HeadAttempt::kLetOthersWrite), 51u);
  EXPECT_EQ(ReadFileStart(path, header, HeadAttempt::kRefuseWriters), 51u);
  EXPECT_EQ(DetectFileType(path, test::ShippedDatabase()), ".jpg");
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(NoFileTest, DevicesPipesAndFoldersAreNeverRead) {
  test::TempDir dir;
  std::string pipeName = "\\\\.\\pipe\\ravo-test-" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT,
                                 1, 0, 0, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  std::array<char, 51> header{};
  for (const std::string& path :
       {std::string("NUL"), std::string("CON"), pipeName, test::Join(dir.Path(), "nul.jpg"),
        test::Join(dir.Path(), "COM1.dat"), dir.Path()}) {
    EXPECT_EQ(ReadFileStart(path, header, HeadAttempt::kLetOthersWrite), std::nullopt) << path;
    EXPECT_EQ(ReadFileStart(path, header, HeadAttempt::kRefuseWriters), std::nullopt) << path;
    EXPECT_FALSE(ReadOnlyFile(path).IsOpen()) << path;
  }
  // Nobody has connected to the pipe: opening it would have.
  EXPECT_FALSE(ConnectNamedPipe(pipe, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING));
  CloseHandle(pipe);
}

TEST(WholeFileTest, MissingFoldersAndFilesHeldWithoutSharing) {
  test::TempDir dir;
  EXPECT_EQ(ReadWholeFile(test::Join(dir.Path(), "missing")).outcome, WholeFile::Outcome::kMissing);
  EXPECT_EQ(ReadWholeFile(dir.Path()).outcome, WholeFile::Outcome::kMissing);

  std::string path = test::Join(dir.Path(), "ext.dll");
  test::WriteAnsiFile(path, "records");
  WholeFile read = ReadWholeFile(path);
  EXPECT_EQ(read.outcome, WholeFile::Outcome::kRead);
  EXPECT_EQ(read.bytes, "records");
  EXPECT_EQ(read.info.size, 7u);

  test::HeldFile held(path, GENERIC_WRITE, 0);
  WholeFile refused = ReadWholeFile(path);
  EXPECT_EQ(refused.outcome, WholeFile::Outcome::kFailed);
  EXPECT_NE(refused.reason.find(path), std::string::npos) << refused.reason;
}

}  // namespace
}  // namespace ravo::platform
