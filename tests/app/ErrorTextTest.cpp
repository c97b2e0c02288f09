#include <gtest/gtest.h>

#include "app/ErrorText.h"

namespace ravo {
namespace {

TEST(ErrorTextTest, APeriodFollowsTextsWhoseLastCharacterLiesAboveIt) {
  struct Case {
    const char* message;
    const char* shown;
  } cases[] = {
      {"列表索引越界 (3)", "列表索引越界 (3)"},  // ")" lies below the period
      {"file not found", "file not found."},
      {"复制失败：权限不够", "复制失败：权限不够."},
      {"done.", "done."},  // the period itself is not above it
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorReportText(c.message), c.shown) << c.message;
}

}  // namespace
}  // namespace ravo
