#include <gtest/gtest.h>

#include "app/SizeText.h"

namespace ravo {
namespace {

struct SizeCase {
  std::int64_t size;
  const char* text;
};

std::ostream& operator<<(std::ostream& out, const SizeCase& c) { return out << c.size; }

class SizeToTextTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeToTextTest, FormatsAtTheBordersOfEveryUnit) {
  EXPECT_EQ(SizeToText(GetParam().size), GetParam().text) << GetParam().size;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeToTextTest,
    testing::Values(SizeCase{-5, ""}, SizeCase{0, ""}, SizeCase{1, "1B"}, SizeCase{1023, "1023B"},
                    SizeCase{1024, "1024B"}, SizeCase{1025, "1.00kB"},
                    SizeCase{1152, "1.13kB"},  // exactly 1.125: half rounds away from zero
                    SizeCase{1536, "1.50kB"}, SizeCase{10240, "10.00kB"},
                    SizeCase{1048575, "1024.00kB"}, SizeCase{1048576, "1024.00kB"},
                    SizeCase{1048577, "1.00MB"}, SizeCase{1073741824, "1024.00MB"},
                    SizeCase{1073741825, "1.00GB"}, SizeCase{1288490188, "1.20GB"},
                    SizeCase{2147483647, "2.00GB"},
                    // Sizes are 64-bit: no wrap-around past 2 GB or 4 GB.
                    SizeCase{3000000000LL, "2.79GB"}, SizeCase{4294967396LL, "4.00GB"},
                    SizeCase{2199023255552LL, "2048.00GB"}));

}  // namespace
}  // namespace ravo
