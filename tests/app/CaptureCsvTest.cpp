// The capture list as CSV: what a spreadsheet program reads of it.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/CaptureCsv.h"
#include "platform/Utf8.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

class CaptureCsvTest : public testing::Test {
 protected:
  test::TempDir dir_;
  StringGrid grid_{3, 10};
  CaptureList list_{grid_};
};

TEST_F(CaptureCsvTest, HoldsEveryRowWithPathNameTypeAndBytes) {
  list_.AddCapturedRow(dir_.Write("照片.dat", std::string(1536, 'j')), ".jpg");
  list_.AddCapturedRow(dir_ / "gone.mp3", ".mp3");
  list_.AddCapturedRow(dir_.Write("empty.flv", ""), ".flv");
  // The program's texts are UTF-8 on Linux and GBK on Windows; the file is
  // UTF-8 on both.
  EXPECT_EQ(CaptureListCsv(list_),
            "\xEF\xBB\xBF" + platform::ToUtf8("路径,文件名,类型,大小（字节）\r\n" +
                                             (dir_ / "照片.dat") + ",照片.dat,.jpg,1536\r\n" +
                                             (dir_ / "gone.mp3") + ",gone.mp3,.mp3,0\r\n" +
                                             (dir_ / "empty.flv") + ",empty.flv,.flv,0\r\n"));
}

TEST_F(CaptureCsvTest, FieldsAreQuotedAndFormulasDisarmed) {
  struct Case {
    std::string name;
    std::string field;
  };
  const Case cases[] = {
      {"a,b.jpg", "\"a,b.jpg\""},
      {"say \"hi\".jpg", "\"say \"\"hi\"\".jpg\""},
      {"line\nbreak.jpg", "\"line\nbreak.jpg\""},
      {"=HYPERLINK(1).jpg", "'=HYPERLINK(1).jpg"},
      {"+1.jpg", "'+1.jpg"},
      {"-2.jpg", "'-2.jpg"},
      {"@sum.jpg", "'@sum.jpg"},
      {"plain.jpg", "plain.jpg"},
  };
  for (const Case& c : cases) {
    StringGrid grid(3, 10);
    CaptureList list(grid);
    // No file is needed (some of these names no Windows folder can hold):
    // a missing file's size is 0.
    list.AddCapturedRow(dir_ / c.name, ".jpg");
    std::string csv = CaptureListCsv(list);
    std::string line = csv.substr(csv.find("\r\n") + 2);
    // The path comes first, quoted by the same rule; the rest stands alone.
    EXPECT_TRUE(line.ends_with("," + c.field + ",.jpg,0\r\n")) << line;
  }
}

TEST_F(CaptureCsvTest, ExportReplacesAFileOnlyWhenTheWholeListIsWritten) {
  list_.AddCapturedRow(dir_.Write("a.mp3", "abc"), ".mp3");
  std::string target = dir_.Write("list.csv", "old");
  EXPECT_EQ(ExportCaptureList(list_, target), "");
  EXPECT_EQ(test::ReadFile(target), CaptureListCsv(list_));
  EXPECT_NE(ExportCaptureList(list_, dir_ / "no/such/folder/list.csv"), "");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no"));
}

}  // namespace
}  // namespace ravo
