// What a preview is made from: which rows get one, and the bytes behind it.
#include <gtest/gtest.h>

#include "app/Preview.h"
#include "tests/support/TestSupport.h"
#include "tests/typedb/CacheEntryWriter.h"

namespace ravo {
namespace {

TEST(PreviewKindTest, PicturesAndVideosByTheirExactType) {
  struct Case {
    const char* type;
    PreviewKind kind;
  };
  const Case cases[] = {
      {".jpg", PreviewKind::kPicture}, {".JPEG", PreviewKind::kPicture},
      {".webp", PreviewKind::kPicture}, {".png", PreviewKind::kPicture},
      {".mp4", PreviewKind::kVideo},   {".WebM", PreviewKind::kVideo},
      {".flv", PreviewKind::kVideo},   {".mp3", PreviewKind::kNone},
      {".swf", PreviewKind::kNone},    {".jp", PreviewKind::kNone},
      {"", PreviewKind::kNone},        {".psd", PreviewKind::kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(PreviewKindOf(c.type), c.kind) << c.type;
}

TEST(PreviewBytesTest, TheFileOrTheBodyOfACacheEntryWithinTheLimit) {
  test::TempDir dir;
  EXPECT_EQ(PreviewBytes(dir.Write("a.png", test::kPngBody)), test::kPngBody);
  EXPECT_EQ(PreviewBytes(dir.Write("0123456789abcdef_0", test::SimpleCacheEntry(test::kPngBody))),
            test::kPngBody);
  const std::string body(1000, 'b');
  EXPECT_EQ(PreviewBytes(dir.Write("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", test::Cache2Entry(body))),
            body);
  EXPECT_EQ(PreviewBytes(dir.Write("big.jpg", std::string(2000, 'j')), 1999), std::nullopt);
  EXPECT_EQ(PreviewBytes(dir.Write("empty.jpg", "")), std::nullopt);
  EXPECT_EQ(PreviewBytes(dir / "missing.jpg"), std::nullopt);
  EXPECT_EQ(PreviewBytes(dir.Path()), std::nullopt);
}

}  // namespace
}  // namespace ravo
