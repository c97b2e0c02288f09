#include <gtest/gtest.h>

#include "app/JpegImage.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

TEST(JpegImageTest, DecodesTheStartPicture) {
  std::string bytes = test::ReadFile(RAVO_SOURCE_DIR "/app/resources/start.jpg");
  std::string error;
  RgbImage image =
      DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), error);
  EXPECT_EQ(image.width, 1200);
  EXPECT_EQ(image.height, 800);
  ASSERT_EQ(image.rgb.size(), 1200u * 800u * 3u);
  // The top left corner is sky: blue dominates.
  EXPECT_GT(image.rgb[2], image.rgb[0]);
}

TEST(JpegImageTest, DamagedDataIsAnErrorNotACrash) {
  std::string bytes = test::ReadFile(RAVO_SOURCE_DIR "/app/resources/start.jpg");
  for (std::string damaged : {std::string(), bytes.substr(0, 600), std::string("not a jpeg")}) {
    std::string error;
    RgbImage image =
        DecodeJpeg(reinterpret_cast<const std::uint8_t*>(damaged.data()), damaged.size(), error);
    if (damaged.size() == 600) {
      // A truncated picture may decode partially; it must never overrun.
      EXPECT_TRUE(image.width == 0 || image.rgb.size() == 1200u * 800u * 3u);
    } else {
      EXPECT_EQ(image.width, 0);
      EXPECT_FALSE(error.empty());
    }
  }
}

}  // namespace
}  // namespace ravo
